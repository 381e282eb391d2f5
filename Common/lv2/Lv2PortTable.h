#pragma once
// How a MusicPlugin appears to an LV2 host: its audio ports, one control input per parameter in ParamList
// order, one control output per meter and its key (side-chain) inputs, each with a symbol, a name, a unit
// and a range in the units a musician reads (dB, ms, Hz, %), and the conversion between a port's float and
// the parameter's value. The description generator, the running plug-in and its UI all read this one
// table, so they cannot drift apart.
//
// Port indices never change: audio inputs, audio outputs, the parameters a plug-in had when its meters
// came, the meters, the key inputs, then the parameters added since. Hosts store ports by index as well as
// by symbol, so what a plug-in gains goes at the end.

#include <string>
#include <vector>

class MusicPlugin;
class Param;

class Lv2PortTable
{
public:
    enum class Kind
    {
        real,    // a RealParam: a double within its range
        toggle,  // a BoolParam: on at 0.5 and above
        integer, // an IntegerParam
    };

    enum class Unit
    {
        none,
        hz,
        db,      // the parameter holds a linear factor
        ms,      // the parameter holds seconds
        percent, // the parameter holds a fraction
        custom,  // shown with the parameter's own label
    };

    struct Control
    {
        int portIndex;
        std::string symbol; // the parameter's save name, so presets and states use the same keys
        std::string name;
        std::string label; // the parameter's display label
        Kind kind;
        Unit unit;
        bool logarithmic;
        // A dB or ms port of a parameter whose range starts at 0: the declared minimum stands for 0 (silence,
        // an instant time), so the port has a finite end for a dB or logarithmic slider.
        bool zeroAtMinimum;
        // In port units, as the description declares them.
        float minimum;
        float defaultValue;
        float maximum;
        // In the parameter's own units.
        double minValue;
        double defaultValueExact;
        double maxValue;
    };

    struct Meter
    {
        int portIndex;
        std::string symbol;
        std::string name;
        std::string label;
        Unit unit; // the reading is in this unit already
        float minimum;
        float maximum;
        bool editorOnly; // hidden from hosts' generic interfaces
    };

    // Where a dB port of a parameter that may be 0 (silent) ends.
    static constexpr float silenceDb = -90.0f;
    // Where an ms port of a time that may be 0 ends: its slider is logarithmic, so a generic host gives
    // 0.1 to 100 ms most of the travel rather than the first percent of a linear 0 to 10 s.
    static constexpr float instantMs = 0.01f;

    // What a port index is: its kind, and its place among the audio inputs, the audio outputs, the key
    // inputs, controls() or meters().
    enum class PortKind
    {
        audioInput,
        audioOutput,
        keyInput,
        control,
        meter,
        none, // no port of ours
    };
    struct PortRef
    {
        PortKind kind;
        int slot;
    };

    // From a freshly made plug-in: switches and steps take their current values as defaults. The first
    // controlsBeforeMeters parameters (all when negative) come before the meters, the rest after the key
    // inputs.
    explicit Lv2PortTable(const MusicPlugin& plugin, int controlsBeforeMeters = -1);

    int numAudioInputs() const { return numAudioInputs_; }
    int numAudioOutputs() const { return numAudioOutputs_; }
    int numKeyInputs() const { return numKeyInputs_; }
    int firstKeyPort() const { return firstKeyPort_; }
    int numPorts() const;
    PortRef port(int portIndex) const;
    // The audio ports' (inputs, outputs, key inputs) symbols and names, by port index.
    std::string audioSymbol(int portIndex) const;
    std::string audioName(int portIndex) const;
    const std::vector<Control>& controls() const { return controls_; }
    const std::vector<Meter>& meters() const { return meters_; }

    // The parameter value for a finite port value: clamped to the declared range, and exactly the
    // parameter's minimum, default or maximum where the port holds the declared one. Toggles give 0 or 1,
    // integers the nearest step. Allocates nothing; calls pow only for a dB port.
    double valueOfPort(int control, float portValue) const;
    // The port value showing a parameter value (for a toggle, 0 or 1).
    float portOfValue(int control, double value) const;
    // A meter reading (already in the meter's unit) clamped to its range.
    float meterPortValue(int meter, double reading) const;

private:
    int numAudioInputs_;
    int numAudioOutputs_;
    int numKeyInputs_;
    int controlsBeforeMeters_ = 0;
    int firstKeyPort_ = 0;
    std::vector<Control> controls_;
    std::vector<Meter> meters_;
};
