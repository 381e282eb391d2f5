#pragma once
// How a MusicPlugin's parameters appear to a VST 3 host: one parameter per ParamList entry, with its index
// as ID, then one read-only parameter per meter that is not meant for the plug-in's own editor. Each has a
// title, a unit, a step count and a plain value in the unit a musician reads (dB where the parameter holds
// a linear factor, % where it holds a fraction, the value itself otherwise); the normalised value is the
// parameter's knob position.
//
// Built once from a freshly made plug-in and constant afterwards, so any thread may read it.

#include "Common/vst3/Vst3Interfaces.h"

#include <string>
#include <vector>

class MusicPlugin;

class Vst3ParamTable
{
public:
    enum class Unit
    {
        same,    // plain value = the parameter's value
        decibel, // the parameter holds a linear factor
        percent, // the parameter holds a fraction
    };

    struct Entry
    {
        vst3::ParamID id;
        std::string title;
        std::string shortTitle;
        std::string units;
        std::int32_t stepCount;
        double defaultNormalized;
        std::int32_t flags;
        // The ParamList index of a parameter, -1 for a meter.
        int control;
        // The plug-in's meter index of a meter, -1 for a parameter.
        int meter;
        Unit unit;
        // A dB parameter whose range starts at 0: its plain minimum, silenceDb, stands for silence.
        bool silenceAtMinimum;
        // In the parameter's (or the meter's) own units.
        double minValue;
        double maxValue;
        double defaultValue;
    };

    // Where the plain value of a dB parameter that may be 0 (silent) ends.
    static constexpr double silenceDb = -90.0;

    explicit Vst3ParamTable(const MusicPlugin& plugin);

    int numControls() const { return numControls_; }
    const std::vector<Entry>& entries() const { return entries_; }
    // The entry with that ID, or null.
    const Entry* find(vst3::ParamID id) const;
    // The host-facing record of entry `index`.
    void fillInfo(const Entry& entry, vst3::ParameterInfo& info) const;

    // A parameter value in plain units and back; valueOfPlain clamps into the range and gives exactly the
    // minimum, maximum or default where the plain value is the declared one. A meter's value is its
    // plain value. Allocate nothing.
    static double plainOfValue(const Entry& entry, double value);
    static double valueOfPlain(const Entry& entry, double plain);
    // A meter reading (in the meter's unit) clamped into its range, and as a normalised value.
    static double clampedReading(const Entry& entry, double reading);
    static double normalizedReading(const Entry& entry, double reading);

private:
    int numControls_;
    std::vector<Entry> entries_;
};
