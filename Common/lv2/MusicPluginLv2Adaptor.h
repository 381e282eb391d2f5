#pragma once
// Presents one MusicPlugin to an LV2 host: ports as Lv2PortTable describes them, the lifecycle LV2 wants
// (rate at instantiate, history cleared at activate) and the state as the bank chunk text a VST 2 host
// stores, so a session can move between formats by its chunk.
//
// Threads, as LV2 classes them: instantiate, activate, restore and cleanup come from the host's
// instantiation thread, one at a time and never beside run; run from the audio thread, where nothing is
// allocated, locked or thrown; save from any thread, possibly beside run. So run publishes every value it
// applies, and save writes its chunk from a shadow instance filled with the published values, never
// touching the live plug-in.

#include "Common/lv2/Lv2PortTable.h"
#include "Common/musicplugin/ValueSnapshot.h"

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MusicPlugin;
class Param;

class MusicPluginLv2Adaptor
{
public:
    // The host-visible descriptor, with the factory that makes the plug-in behind it and the port layout
    // (Lv2PortTable's controlsBeforeMeters).
    struct Descriptor
    {
        LV2_Descriptor lv2;
        MusicPlugin* (*createPlugin)();
        int controlsBeforeMeters;
    };
    // Its callbacks are the adaptor's; uri and createPlugin must outlive the module.
    static Descriptor describe(const char* uri, MusicPlugin* (*createPlugin)(),
                               int controlsBeforeMeters = -1);

    // The state key is the plug-in's URI with this suffix; its value the bank chunk text, an atom:String.
    static constexpr const char* chunkKeySuffix = "#chunk";
    // Sample rates instantiate accepts, Hz; others are refused as damaged host input.
    static constexpr double lowestSampleRate = 1000.0;
    static constexpr double highestSampleRate = 1536000.0;

    MusicPluginLv2Adaptor(const Descriptor& descriptor, double sampleRateHz,
                          const LV2_Feature* const* features);
    ~MusicPluginLv2Adaptor();
    MusicPluginLv2Adaptor(const MusicPluginLv2Adaptor&) = delete;
    MusicPluginLv2Adaptor& operator=(const MusicPluginLv2Adaptor&) = delete;

    void connectPort(uint32_t port, void* data) noexcept;
    void activate() noexcept;
    void run(uint32_t frames) noexcept;
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

private:
    void applyControls();

    std::unique_ptr<MusicPlugin> effect;
    // Written only by save and restore: the published values, then the chunk text, come from here.
    std::unique_ptr<MusicPlugin> shadow;
    Lv2PortTable table;
    std::vector<Param*> effectParams;
    std::vector<Param*> shadowParams;

    std::vector<const float*> audioInputs;
    std::vector<float*> audioOutputs;
    // The key (side-chain) inputs: a host may leave them unconnected, and then offers no key.
    std::vector<const float*> keyInputs;
    // The channel pointers of one block of a run, allocated once.
    std::vector<const float*> blockInputs;
    std::vector<float*> blockOutputs;
    std::vector<const float*> blockKeys;
    std::vector<const float*> controlPorts;
    std::vector<float*> meterPorts;
    // The float each control port held when run last looked; NaN at first, so the first run applies all.
    std::vector<float> lastPortValues;

    // The values run applied, for save.
    ValueSnapshot published;

    LV2_URID_Map* map = nullptr;
    LV2_URID chunkKey = 0;
    LV2_URID atomString = 0;
};
