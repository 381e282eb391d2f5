#pragma once
// The compressor as a plug-in: eleven parameters wired to the engine, and the per-sample signal path
// (noise, side-chain filters, multiband detection, gain law, mix, output gain). Where the format can carry
// a key signal, a stereo key input and a twelfth parameter, Sd Source, that lets the key drive the
// detector instead of the plug-in's own input.

#include "Common/musicplugin/BoolParam.h"
#include "Common/musicplugin/MusicPlugin.h"
#include "Common/musicplugin/RealParam.h"
#include "Src/Compressor.h"

#include <cstdint>
#include <optional>

class ZaRorurarozePlugin : public MusicPlugin
{
public:
    // The inputs a build has: the stereo signal alone (VST 2: eleven parameters, as ever), or beside it a
    // stereo key and the Sd Source switch (LV2, VST3, CLAP, JACK).
    enum class KeyInput
    {
        none,
        stereo
    };

    explicit ZaRorurarozePlugin(KeyInput keyInput = KeyInput::none);
    ~ZaRorurarozePlugin() override;

    void clear() noexcept override;
    void process(const float* const* inputs, float* const* outputs, int sampleFrames) noexcept override;
    // With Sd Source on "key" and both key channels given, the key drives the side-chain. Like the input it
    // gets the noise, and a NaN, infinite or absurd sample enters as silence.
    void processWithKey(const float* const* inputs, const float* const* keyInputs, float* const* outputs,
                        int sampleFrames) noexcept override;
    // The meters of ZaRorurarozeMeter: the gain reduction for every host; the input and output peak levels
    // and the detector's band levels for the editor.
    int numMeters() const override;
    MeterInfo meterInfo(int index) const override;
    double takeMeterReading(int index) noexcept override;

    // The power a full-scale sine at a band's centre, in both channels, gives that band: the band level
    // meters' 0 dB. Each band's response peaks at 2(r - 1)/(r + 1) = 0.2086 (r the bands' frequency ratio).
    static constexpr double bandReferencePower = 0.2086 * 0.2086;

    // The engine, read by the editor's own copy of the plug-in for its band view and transfer curve.
    const Compressor& engine() const { return compressor_; }

    // The detector's code path (the widest the CPU has unless chosen here); for tests and benchmarks.
    // Refuses (false) a path this CPU cannot run.
    bool selectDetectorPath(DetectorPath path) { return compressor_.detector_.selectPath(path); }
    DetectorPath detectorPath() const { return compressor_.detector_.path(); }

private:
    // The signal path for process and processWithKey: the key channels null when none is offered.
    void render(const float* const* inputs, const float* keyLeft, const float* keyRight,
                float* const* outputs, int sampleFrames) noexcept;

    // Starts at 0 in every instance so that renders are reproducible.
    std::uint32_t noiseSeed_ = 0;
    // The largest magnitudes of both channels since the level meters were read.
    float inputPeak_ = 0.0f;
    float outputPeak_ = 0.0f;

    FrequencyParam sidechainHighpassCutoff_;
    FrequencyParam sidechainLowpassCutoff_;
    OnOffParam sidechainListen_;
    RelativeGainParam drive_;
    TimeParam attack_;
    TimeParam release_;
    OnOffParam hilbert_;
    GainParam threshold_;
    RealParam ratio_;
    GainParam outputGain_;
    PercentParam mix_;
    // Only with a key input.
    std::optional<NamedSwitchParam> sidechainSource_;

    Compressor compressor_;
};
