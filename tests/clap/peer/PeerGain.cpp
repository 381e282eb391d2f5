// A stereo gain in dB and, as read-only outputs, the input's and the side-chain's peaks over each block in
// dB: results with closed forms (a sine at 0.5 is -6.02 dB; -6 dB of gain scales it by 10^(-6/20)).

#include "DistrhoPlugin.hpp"

#include <cmath>

START_NAMESPACE_DISTRHO

class PeerGain : public Plugin
{
public:
    PeerGain() : Plugin(3, 0, 1) {}

protected:
    const char* getLabel() const override { return "PeerGain"; }
    const char* getMaker() const override { return "ZaRoruraroze tests"; }
    const char* getLicense() const override { return "MIT"; }
    uint32_t getVersion() const override { return d_version(1, 0, 0); }
    int64_t getUniqueId() const override { return d_cconst('z', 'r', 'P', 'g'); }

    void initAudioPort(bool input, uint32_t index, AudioPort& port) override
    {
        Plugin::initAudioPort(input, index, port);
        if (input && index >= 2) port.hints |= kAudioPortIsSidechain;
    }

    void initParameter(uint32_t index, Parameter& parameter) override
    {
        parameter.unit = "dB";
        if (index == 0) {
            parameter.hints = kParameterIsAutomatable;
            parameter.name = "Gain";
            parameter.symbol = "gain";
            parameter.ranges.def = 0.0f;
            parameter.ranges.min = -24.0f;
            parameter.ranges.max = 24.0f;
        } else {
            parameter.hints = kParameterIsOutput;
            parameter.name = index == 1 ? "Peak" : "Key Peak";
            parameter.symbol = index == 1 ? "peak" : "key_peak";
            parameter.ranges.def = -60.0f;
            parameter.ranges.min = -60.0f;
            parameter.ranges.max = 0.0f;
        }
    }

    // One state key beside the parameters, so DPF offers its state extension; the state carries the gain.
    void initState(uint32_t, State& state) override
    {
        state.key = "note";
        state.defaultValue = "";
    }
    void setState(const char*, const char*) override {}

    float getParameterValue(uint32_t index) const override
    {
        return index == 0 ? gainDb : index == 1 ? peakDb : keyPeakDb;
    }

    void setParameterValue(uint32_t index, float value) override
    {
        if (index != 0) return;
        gainDb = value;
        factor = std::pow(10.0f, value / 20.0f);
    }

    void run(const float** inputs, float** outputs, uint32_t frames) override
    {
        float peak = 0.0f;
        for (int c = 0; c < 2; ++c)
            for (uint32_t i = 0; i < frames; ++i) {
                peak = std::fmax(peak, std::fabs(inputs[c][i]));
                outputs[c][i] = inputs[c][i] * factor;
            }
        peakDb = peak > 0.001f ? 20.0f * std::log10(peak) : -60.0f;
        float keyPeak = 0.0f;
        for (int c = 2; c < 4; ++c)
            for (uint32_t i = 0; i < frames; ++i)
                keyPeak = std::fmax(keyPeak, std::fabs(inputs[c][i]));
        keyPeakDb = keyPeak > 0.001f ? 20.0f * std::log10(keyPeak) : -60.0f;
    }

private:
    float gainDb = 0.0f;
    float factor = 1.0f;
    float peakDb = -60.0f;
    float keyPeakDb = -60.0f;
};

Plugin* createPlugin()
{
    return new PeerGain();
}

END_NAMESPACE_DISTRHO
