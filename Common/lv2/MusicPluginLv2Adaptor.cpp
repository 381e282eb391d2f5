#include "Common/lv2/MusicPluginLv2Adaptor.h"

#include "Common/musicplugin/MusicPlugin.h"
#include "Common/musicplugin/ParamValue.h"
#include "Common/musicplugin/PluginState.h"

#include <lv2/atom/atom.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace
{
using Adaptor = MusicPluginLv2Adaptor;

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Longest block handed to MusicPlugin::process, whose frame count is an int.
constexpr uint32_t maxBlockFrames = 1u << 20;

// The C callbacks: nothing leaves them as an exception.
LV2_Handle instantiate(const LV2_Descriptor* descriptor, double sampleRateHz, const char*,
                       const LV2_Feature* const* features)
{
    if (descriptor == nullptr || !(sampleRateHz >= Adaptor::lowestSampleRate) ||
        !(sampleRateHz <= Adaptor::highestSampleRate))
        return nullptr;
    try {
        return new Adaptor(*reinterpret_cast<const Adaptor::Descriptor*>(descriptor), sampleRateHz, features);
    } catch (...) {
        return nullptr;
    }
}

void connectPort(LV2_Handle instance, uint32_t port, void* data)
{
    static_cast<Adaptor*>(instance)->connectPort(port, data);
}

void activate(LV2_Handle instance)
{
    static_cast<Adaptor*>(instance)->activate();
}

void run(LV2_Handle instance, uint32_t frames)
{
    static_cast<Adaptor*>(instance)->run(frames);
}

void cleanup(LV2_Handle instance)
{
    delete static_cast<Adaptor*>(instance);
}

LV2_State_Status save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t,
                      const LV2_Feature* const*)
{
    try {
        return static_cast<Adaptor*>(instance)->save(store, handle);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_State_Status restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                         uint32_t, const LV2_Feature* const*)
{
    try {
        return static_cast<Adaptor*>(instance)->restore(retrieve, handle);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

const LV2_State_Interface stateInterface = {&save, &restore};

const void* extensionData(const char* uri)
{
    return uri != nullptr && std::strcmp(uri, LV2_STATE__interface) == 0 ? &stateInterface : nullptr;
}

} // namespace

MusicPluginLv2Adaptor::Descriptor
MusicPluginLv2Adaptor::describe(const char* uri, MusicPlugin* (*createPlugin)(), int controlsBeforeMeters)
{
    return Descriptor{
        {uri, &instantiate, &::connectPort, &::activate, &::run, nullptr, &cleanup, &extensionData},
        createPlugin,
        controlsBeforeMeters};
}

MusicPluginLv2Adaptor::MusicPluginLv2Adaptor(const Descriptor& descriptor, double sampleRateHz,
                                             const LV2_Feature* const* features)
    : effect(descriptor.createPlugin()), shadow(descriptor.createPlugin()),
      table(*effect, descriptor.controlsBeforeMeters), effectParams(effect->paramList.params()),
      shadowParams(shadow->paramList.params()),
      audioInputs(static_cast<size_t>(table.numAudioInputs()), nullptr),
      audioOutputs(static_cast<size_t>(table.numAudioOutputs()), nullptr),
      keyInputs(static_cast<size_t>(table.numKeyInputs()), nullptr), blockInputs(audioInputs.size(), nullptr),
      blockOutputs(audioOutputs.size(), nullptr), blockKeys(keyInputs.size(), nullptr),
      controlPorts(table.controls().size(), nullptr), meterPorts(table.meters().size(), nullptr),
      lastPortValues(table.controls().size(), std::numeric_limits<float>::quiet_NaN()),
      published(static_cast<int>(table.controls().size()))
{
    if (effectParams.size() != shadowParams.size())
        throw std::logic_error("the factory made two different plug-ins");
    effect->sampleRate.setValue(sampleRateHz);
    for (size_t i = 0; i < table.controls().size(); ++i)
        published.write(static_cast<int>(i), table.controls()[i].defaultValueExact);
    for (int i = 0; features != nullptr && features[i] != nullptr; ++i)
        if (std::strcmp(features[i]->URI, LV2_URID__map) == 0)
            map = static_cast<LV2_URID_Map*>(features[i]->data);
    if (map != nullptr && map->map != nullptr) {
        chunkKey = map->map(map->handle, (std::string(descriptor.lv2.URI) + chunkKeySuffix).c_str());
        atomString = map->map(map->handle, LV2_ATOM__String);
    } else {
        map = nullptr;
    }
}

MusicPluginLv2Adaptor::~MusicPluginLv2Adaptor() = default;

void MusicPluginLv2Adaptor::connectPort(uint32_t port, void* data) noexcept
{
    const Lv2PortTable::PortRef p = table.port(port < 0x7fffffffu ? static_cast<int>(port) : -1);
    const auto slot = static_cast<size_t>(p.slot);
    switch (p.kind) {
    case Lv2PortTable::PortKind::audioInput:
        audioInputs[slot] = static_cast<const float*>(data);
        break;
    case Lv2PortTable::PortKind::audioOutput:
        audioOutputs[slot] = static_cast<float*>(data);
        break;
    case Lv2PortTable::PortKind::keyInput:
        keyInputs[slot] = static_cast<const float*>(data);
        break;
    case Lv2PortTable::PortKind::control:
        controlPorts[slot] = static_cast<const float*>(data);
        break;
    case Lv2PortTable::PortKind::meter:
        meterPorts[slot] = static_cast<float*>(data);
        break;
    case Lv2PortTable::PortKind::none:
        break;
    }
}

void MusicPluginLv2Adaptor::activate() noexcept
{
    effect->clear();
}

void MusicPluginLv2Adaptor::run(uint32_t frames) noexcept
{
    try {
        applyControls();
    } catch (...) {
        // A listener that throws leaves that parameter as it was; the audio goes on.
    }
    bool connected = true;
    for (const float* input : audioInputs)
        connected = connected && input != nullptr;
    for (float* output : audioOutputs)
        connected = connected && output != nullptr;
    bool keyed = !keyInputs.empty();
    for (const float* key : keyInputs)
        keyed = keyed && key != nullptr;
    if (!connected) {
        for (float* output : audioOutputs)
            if (output != nullptr) std::memset(output, 0, sizeof(float) * frames);
    } else {
        for (uint32_t offset = 0; offset < frames; offset += maxBlockFrames) {
            const uint32_t count = frames - offset < maxBlockFrames ? frames - offset : maxBlockFrames;
            for (size_t c = 0; c < audioInputs.size(); ++c)
                blockInputs[c] = audioInputs[c] + offset;
            for (size_t c = 0; c < audioOutputs.size(); ++c)
                blockOutputs[c] = audioOutputs[c] + offset;
            for (size_t c = 0; keyed && c < keyInputs.size(); ++c)
                blockKeys[c] = keyInputs[c] + offset;
            effect->processWithKey(blockInputs.data(), keyed ? blockKeys.data() : nullptr,
                                   blockOutputs.data(), static_cast<int>(count));
        }
    }
    for (size_t j = 0; j < meterPorts.size(); ++j) {
        const double reading = effect->takeMeterReading(static_cast<int>(j));
        if (meterPorts[j] != nullptr)
            *meterPorts[j] = connected ? table.meterPortValue(static_cast<int>(j), reading) : 0.0f;
    }
}

void MusicPluginLv2Adaptor::applyControls()
{
    for (size_t i = 0; i < controlPorts.size(); ++i) {
        if (controlPorts[i] == nullptr) continue;
        const float portValue = *controlPorts[i];
        if (sameBits(portValue, lastPortValues[i])) continue; // nothing recomputed without a reason
        lastPortValues[i] = portValue;
        if (!std::isfinite(portValue)) continue;
        const int control = static_cast<int>(i);
        published.write(control, setParamValue(*effectParams[i], table.valueOfPort(control, portValue)));
    }
}

LV2_State_Status MusicPluginLv2Adaptor::save(LV2_State_Store_Function store, LV2_State_Handle handle)
{
    if (map == nullptr) return LV2_STATE_ERR_NO_FEATURE;
    if (store == nullptr) return LV2_STATE_ERR_UNKNOWN;
    std::vector<double> values(table.controls().size());
    published.read(values.data());
    for (size_t i = 0; i < values.size(); ++i)
        setParamValue(*shadowParams[i], values[i]);
    const std::string text = PluginState::saveBank(*shadow, 0);
    return store(handle, chunkKey, text.c_str(), text.size() + 1, atomString,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status MusicPluginLv2Adaptor::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
    if (map == nullptr) return LV2_STATE_ERR_NO_FEATURE;
    if (retrieve == nullptr) return LV2_STATE_ERR_UNKNOWN;
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    const void* data = retrieve(handle, chunkKey, &size, &type, &flags);
    if (data == nullptr) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != atomString) return LV2_STATE_ERR_BAD_TYPE;
    // Up to the first zero byte or the size, whichever comes first: a damaged state may lack its terminator.
    const char* bytes = static_cast<const char*>(data);
    const void* zero = std::memchr(bytes, 0, size);
    const std::string text(bytes, zero != nullptr ? static_cast<const char*>(zero) - bytes : size);
    if (text.empty() || !PluginState::loadBank(*shadow, 0, text)) return LV2_STATE_ERR_UNKNOWN;
    PluginState::loadBank(*effect, 0, text);
    // The restored values stay until the host moves a port away from what it shows for them.
    for (size_t i = 0; i < controlPorts.size(); ++i) {
        const int control = static_cast<int>(i);
        const double value = paramValue(*effectParams[i]);
        published.write(control, value);
        lastPortValues[i] = table.portOfValue(control, value);
    }
    return LV2_STATE_SUCCESS;
}
