#pragma once
// The edit-controller side of a MusicPlugin behind the VST 3 interface: parameter values as the host sees
// them, their texts and plain values, and the state. It works on a shadow instance of the plug-in, never
// on the live one: the shadow takes the host's edits and every value the audio thread publishes, and the
// state is written from it; a loaded state goes into the shadow and, whole, to the audio thread. A second
// spare instance turns knob positions into texts and plain values without touching either.
//
// Threads: any but the audio thread, one at a time (a lock of its own serialises them). The calls may
// throw std::bad_alloc.

#include "Common/musicplugin/Mutex.h"
#include "Common/vst3/Vst3Interfaces.h"
#include "Common/vst3/Vst3ParamTable.h"
#include "Common/vst3/Vst3RestoreGuard.h"

#include <memory>
#include <string>
#include <vector>

class MusicPlugin;
class Param;
class Vst3Processor;

class Vst3Controller
{
public:
    Vst3Controller(std::unique_ptr<MusicPlugin> shadow, std::unique_ptr<MusicPlugin> converter,
                   const Vst3ParamTable& table, Vst3Processor& processor);
    ~Vst3Controller();
    Vst3Controller(const Vst3Controller&) = delete;
    Vst3Controller& operator=(const Vst3Controller&) = delete;

    // The display text of a normalised value (without the unit, which the parameter info carries).
    bool textOf(vst3::ParamID id, double normalized, std::string& text);
    // Any text textOf writes, or a user types, with or without its unit.
    bool normalizedOfText(vst3::ParamID id, const std::string& text, double& normalized);
    double plainOf(vst3::ParamID id, double normalized);
    double normalizedOfPlain(vst3::ParamID id, double plain);

    // The host's view of a value, and its edits. False for unknown IDs and NaN.
    double normalized(vst3::ParamID id);
    bool setNormalized(vst3::ParamID id, double normalized);

    // The bank chunk text a VST 2 host stores for the same settings.
    std::string saveState();
    // A bank chunk text; false, changing nothing, when it holds no bank.
    bool loadState(const std::string& text);

private:
    // Takes into the shadow what the audio thread applied since the last look.
    void pull();
    Param* converterParam(const Vst3ParamTable::Entry& entry);

    Mutex mutex;
    std::unique_ptr<MusicPlugin> shadow;
    std::unique_ptr<MusicPlugin> converter;
    const Vst3ParamTable& table;
    Vst3Processor& processor;
    Vst3RestoreGuard guard;
    // The published values already taken, bit for bit.
    std::vector<double> pulled;
};
