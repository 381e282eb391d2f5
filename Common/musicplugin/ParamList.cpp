#include "Common/musicplugin/ParamList.h"

#include "Common/Assert.h"
#include "Common/musicplugin/Param.h"
#include "Common/musicplugin/PresetBank.h"

#include <algorithm>
#include <cstddef>

namespace
{
// The VST 2 limit for parameter names, labels and display texts.
constexpr std::size_t maxHostTextChars = 8;
} // namespace

void ParamList::add(Param* param)
{
    ZR_ASSERT(std::find(list.begin(),list.end(),param) == list.end());
    if (param == nullptr || std::find(list.begin(), list.end(), param) != list.end()) return;
    list.push_back(param);
}

int ParamList::numParams() const
{
    return static_cast<int>(list.size());
}

Param* ParamList::param(int index)
{
    return index >= 0 && index < numParams() ? list[index] : nullptr;
}

const Param* ParamList::param(int index) const
{
    return index >= 0 && index < numParams() ? list[index] : nullptr;
}

bool ParamList::checkIndex(int index) const
{
    ZR_ASSERT(index>=0);
    ZR_ASSERT(index<numParams());
    return index >= 0 && index < numParams();
}

std::string ParamList::getDisplayName(int index) const
{
    return checkIndex(index) ? list[index]->getDisplayName() : std::string();
}

std::string ParamList::getDisplayValue(int index) const
{
    return checkIndex(index) ? list[index]->getDisplayValue() : std::string();
}

std::string ParamList::getDisplayUnits(int index) const
{
    return checkIndex(index) ? list[index]->getDisplayLabel() : std::string();
}

void ParamList::savePreset(Preset& preset) const
{
    preset.values.clear();
    for (const Param* param : list)
        if (!param->omittedAtDefault() || !param->isAtDefault())
            preset.values[param->getSaveName()] = param->saveString();
}

void ParamList::loadPreset(const Preset& preset)
{
    for (Param* param : list) {
        auto entry = preset.values.find(param->getSaveName());
        if (entry != preset.values.end())
            param->loadString(entry->second);
        else
            param->resetToDefault();
    }
}

void ParamList::vstSetParameter(int index, float value)
{
    double knobPos = value;
    ZR_ASSERT(0.0<=knobPos);
    ZR_ASSERT(knobPos<=1.0);
    ZR_ASSERT(index>=0);
    ZR_ASSERT(index<numParams());
    // Written so that NaN fails the test too.
    if (index >= 0 && index < numParams() && knobPos >= 0.0 && knobPos <= 1.0)
        list[index]->setKnobPos(knobPos);
}

float ParamList::vstGetParameter(int index) const
{
    if (list.empty()) return 0.0f;
    double knobPos = checkIndex(index) ? list[index]->getKnobPos() : 0.0;
    ZR_ASSERT(0.0<=knobPos);
    ZR_ASSERT(knobPos<=1.0);
    if (!(knobPos >= 0.0 && knobPos <= 1.0)) return 0.0f;
    return static_cast<float>(knobPos);
}

void ParamList::copyToHost(int index, char* dest, std::string (ParamList::*text)(int) const) const
{
    bool inRange = checkIndex(index);
    ZR_ASSERT(dest);
    if (dest == nullptr) return;
    dest[0] = '\0';
    if (!inRange) return;
    std::string value = (this->*text)(index);
    std::size_t length = std::min(value.size(), maxHostTextChars);
    std::copy(value.begin(), value.begin() + static_cast<std::ptrdiff_t>(length), dest);
    std::fill(dest + length, dest + maxHostTextChars + 1, '\0');
}

void ParamList::vstGetParameterName(int index, char* dest) const
{
    copyToHost(index, dest, &ParamList::getDisplayName);
}

void ParamList::vstGetParameterLabel(int index, char* dest) const
{
    copyToHost(index, dest, &ParamList::getDisplayUnits);
}

void ParamList::vstGetParameterDisplay(int index, char* dest) const
{
    copyToHost(index, dest, &ParamList::getDisplayValue);
}
