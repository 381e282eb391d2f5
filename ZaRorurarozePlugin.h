#pragma once
// The compressor as a plug-in: eleven parameters wired to the engine, and the per-sample signal path
// (noise, side-chain filters, multiband detection, gain law, mix, output gain).

#include "Common/musicplugin/BoolParam.h"
#include "Common/musicplugin/MusicPlugin.h"
#include "Common/musicplugin/RealParam.h"
#include "Src/Compressor.h"

#include <cstdint>

class ZaRorurarozePlugin : public MusicPlugin
{
public:
    ZaRorurarozePlugin();
    ~ZaRorurarozePlugin() override;

    void clear() noexcept override;
    void process(const float* const* inputs, float* const* outputs, int sampleFrames) noexcept override;
    // One meter: the gain reduction, in dB from 0 to 60.
    int numMeters() const override { return 1; }
    MeterInfo meterInfo(int index) const override;
    double takeMeterReading(int index) noexcept override;

    // The detector's code path (the widest the CPU has unless chosen here); for tests and benchmarks.
    // Refuses (false) a path this CPU cannot run.
    bool selectDetectorPath(DetectorPath path) { return compressor_.detector_.selectPath(path); }
    DetectorPath detectorPath() const { return compressor_.detector_.path(); }

private:
    // Starts at 0 in every instance so that renders are reproducible.
    std::uint32_t noiseSeed_ = 0;

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

    Compressor compressor_;
};
