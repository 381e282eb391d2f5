#pragma once
// A small LV2 host for the tests: a URID map, a state store, and one instance of the compressor through
// the adaptor's descriptor with every port connected to its own buffers.

#include "Common/lv2/Lv2PortTable.h"
#include "Common/lv2/MusicPluginLv2Adaptor.h"
#include "ZaRorurarozePlugin.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace lv2test
{
inline const char* const uri = "urn:quenderlab:zaroruraroze";

inline MusicPlugin* createPlugin()
{
    return new ZaRorurarozePlugin();
}

inline const MusicPluginLv2Adaptor::Descriptor descriptor =
    MusicPluginLv2Adaptor::describe(uri, &createPlugin);

// What a host gives: a URID map, and a state store of (key, value, type) with the last value per key.
struct Host
{
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map map{this, &Host::mapUri};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[2] = {&mapFeature, nullptr};
    struct Stored
    {
        std::string value;
        LV2_URID type;
    };
    std::map<LV2_URID, Stored> state;

    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* text)
    {
        auto& ids = static_cast<Host*>(handle)->ids;
        return ids.emplace(text, static_cast<LV2_URID>(ids.size() + 1)).first->second;
    }
    static LV2_State_Status store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size,
                                  uint32_t type, uint32_t)
    {
        static_cast<Host*>(handle)->state[key] = {std::string(static_cast<const char*>(value), size), type};
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                                uint32_t* flags)
    {
        auto& state = static_cast<Host*>(handle)->state;
        auto found = state.find(key);
        if (found == state.end()) return nullptr;
        *size = found->second.value.size();
        *type = found->second.type;
        *flags = LV2_STATE_IS_POD;
        return found->second.value.data();
    }
    LV2_URID chunkKey() { return mapUri(this, (std::string(uri) + "#chunk").c_str()); }
};

// One instance with every port connected to this fixture's buffers, control ports at their defaults.
struct Instance
{
    explicit Instance(Host& host, double rateHz = 44100.0, bool withMap = true)
        : table(plugin),
          handle(descriptor.lv2.instantiate(&descriptor.lv2, rateHz, "", withMap ? host.features : nullptr))
    {
        if (handle == nullptr) return;
        for (const auto& c : table.controls())
            controls.push_back(c.defaultValue);
        for (uint32_t p = 0; p < 2; ++p) {
            descriptor.lv2.connect_port(handle, p, in[p].data());
            descriptor.lv2.connect_port(handle, p + 2, out[p].data());
        }
        for (size_t i = 0; i < controls.size(); ++i)
            descriptor.lv2.connect_port(handle, static_cast<uint32_t>(4 + i), &controls[i]);
        descriptor.lv2.connect_port(handle, static_cast<uint32_t>(4 + controls.size()), &meter);
        descriptor.lv2.activate(handle);
    }
    ~Instance()
    {
        if (handle != nullptr) descriptor.lv2.cleanup(handle);
    }
    void run(uint32_t frames)
    {
        for (size_t n = 0; n < frames; ++n)
            in[0][n] = in[1][n] = static_cast<float>(0.8 * std::sin(0.03 * static_cast<double>(n + phase)));
        phase += frames;
        descriptor.lv2.run(handle, frames);
    }
    const LV2_State_Interface* state() const
    {
        return static_cast<const LV2_State_Interface*>(descriptor.lv2.extension_data(LV2_STATE__interface));
    }
    LV2_State_Status save(Host& host) { return state()->save(handle, &Host::store, &host, 0, nullptr); }
    LV2_State_Status restore(Host& host)
    {
        return state()->restore(handle, &Host::retrieve, &host, 0, nullptr);
    }

    ZaRorurarozePlugin plugin;
    Lv2PortTable table;
    LV2_Handle handle;
    std::vector<float> in[2] = {std::vector<float>(4096), std::vector<float>(4096)};
    std::vector<float> out[2] = {std::vector<float>(4096), std::vector<float>(4096)};
    std::vector<float> controls;
    float meter = -1.0f;
    size_t phase = 0;
};
} // namespace lv2test
