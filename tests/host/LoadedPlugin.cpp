#include "LoadedPlugin.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <stdexcept>

namespace
{
// The callback receives no user pointer before the effect exists: remember who is being constructed.
thread_local LoadedPlugin* constructing = nullptr;
} // namespace

LoadedPlugin::LoadedPlugin(const char* path)
{
    module_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (module_ == nullptr)
        throw std::runtime_error(std::string("dlopen failed: ") + dlerror());
    void* entry = dlsym(module_, "VSTPluginMain");
    if (entry == nullptr)
        entry = dlsym(module_, "main");
    if (entry == nullptr)
        throw std::runtime_error("no entry point");
    constructing = this;
    effect_ = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(entry)(&LoadedPlugin::hostCallback);
    constructing = nullptr;
    if (effect_ == nullptr)
        throw std::runtime_error("entry point answered null");
    effect_->user = this;
}

LoadedPlugin::~LoadedPlugin()
{
    close();
    dlclose(module_);
}

void LoadedPlugin::close()
{
    if (effect_ != nullptr)
        dispatch(effClose);
    effect_ = nullptr;
}

VstIntPtr LoadedPlugin::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*,
                                     float)
{
    LoadedPlugin* self = effect != nullptr && effect->user != nullptr ? static_cast<LoadedPlugin*>(effect->user)
                                                                      : constructing;
    if (self != nullptr)
        self->hostCalls.push_back({opcode, index, value});
    switch (opcode)
    {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return self != nullptr && self->giveTimeInfo ? reinterpret_cast<VstIntPtr>(&self->timeInfo) : 0;
    default:
        return 0;
    }
}

VstIntPtr LoadedPlugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

namespace
{
std::string textFrom(LoadedPlugin& plugin, VstInt32 opcode, int index)
{
    char text[64];
    for (char& c : text)
        c = 'x'; // so that a missing terminator shows
    plugin.dispatch(opcode, index, 0, text);
    return std::string(text, strnlen(text, sizeof text));
}
} // namespace

std::string LoadedPlugin::paramName(int index)
{
    return textFrom(*this, effGetParamName, index);
}

std::string LoadedPlugin::paramLabel(int index)
{
    return textFrom(*this, effGetParamLabel, index);
}

std::string LoadedPlugin::paramDisplay(int index)
{
    return textFrom(*this, effGetParamDisplay, index);
}

std::string LoadedPlugin::chunk(bool isPreset)
{
    void* data = nullptr;
    VstIntPtr bytes = dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
    if (bytes <= 0 || data == nullptr)
        return std::string();
    return std::string(static_cast<const char*>(data), static_cast<size_t>(bytes));
}

VstIntPtr LoadedPlugin::setChunk(const std::string& bytes, bool isPreset)
{
    std::vector<char> copy(bytes.begin(), bytes.end()); // exactly sized: an over-read shows under ASan
    return dispatch(effSetChunk, isPreset ? 1 : 0, static_cast<VstIntPtr>(copy.size()), copy.data());
}

void LoadedPlugin::processReplacing(std::vector<float>& left, std::vector<float>& right,
                                    const std::vector<float>& inLeft, const std::vector<float>& inRight,
                                    int blockFrames)
{
    size_t frames = inLeft.size();
    left.assign(frames, 0.0f);
    right.assign(frames, 0.0f);
    std::vector<float> inL(inLeft), inR(inRight);
    for (size_t done = 0; done < frames;)
    {
        VstInt32 n = static_cast<VstInt32>(std::min(frames - done, static_cast<size_t>(blockFrames)));
        float* inputs[2] = {inL.data() + done, inR.data() + done};
        float* outputs[2] = {left.data() + done, right.data() + done};
        effect_->processReplacing(effect_, inputs, outputs, n);
        done += static_cast<size_t>(n);
    }
}
