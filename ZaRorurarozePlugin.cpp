#include "ZaRorurarozePlugin.h"

#include "Common/Assert.h"
#include "ZaRorurarozeParam.h"

#include "Common/dsp/misc.h"
#include "Common/musicplugin/Display.h"
#include "Common/musicplugin/Mapping.h"
#include "Common/musicplugin/ValueListener.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif
#include <string>
#include <utility>

namespace
{
// Stateless, so one instance serves every plug-in instance and nothing leaks.
const LogarithmicMapping ratioMapping;

template <typename T> void connect(Value<T>& value, Compressor& compressor, void (Compressor::*setter)(T))
{
    value.addValueListener(new ObjectValueListener<Compressor, T>(&compressor, setter));
}

// Hosts and files can deliver NaN, infinite or absurdly large samples; one of them would overflow the
// side-chain filters and the detector and poison them for ever (or for many seconds), so it enters as
// silence. Anything beyond +100 dBFS counts as absurd; NaN fails the comparison too.
constexpr double largestSample = 1e5;

// The level meters' range, dB: their floor is the LV2 ports' and the editor's.
constexpr double levelFloorDb = -90.0;
constexpr double levelTopDb = 12.0;
constexpr double bandTopDb = 30.0;

// 10 log10(2): dB per octave of a power.
constexpr double powerDbPerOctave = 3.010299956639812;

// A ratio in dB, clamped to [levelFloorDb, topDb]; through fast_log2, as it runs on the audio thread.
double decibels(double ratio, double dbPerOctave, double topDb) noexcept
{
    const double db = ratio > 0.0 ? dbPerOctave * fast_log2(ratio) : levelFloorDb;
    return db < levelFloorDb ? levelFloorDb : (db > topDb ? topDb : db);
}

// The largest magnitude among samples, NaN left out. With SSE2 (every x86 build), four samples an
// instruction: the compiler does not vectorise a float maximum by itself without fast-math.
float peakOf(const float* samples, int count) noexcept
{
    int i = 0;
    float largest = 0.0f;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 a = _mm_setzero_ps();
    __m128 b = _mm_setzero_ps();
    for (; i + 8 <= count; i += 8) {
        // maxps answers its second operand when either is NaN: the running maximum stays.
        a = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(samples + i), magnitude), a);
        b = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(samples + i + 4), magnitude), b);
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, _mm_max_ps(a, b));
    largest = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
#endif
    for (; i < count; ++i) {
        const float m = std::fabs(samples[i]);
        largest = m > largest ? m : largest;
    }
    return largest;
}

inline double finiteOrZero(float sample)
{
    const double x = sample;
    return std::fabs(x) <= largestSample ? x : 0.0;
}

// The single-precision number nearest to 1e-15.
constexpr double noiseScale = static_cast<double>(1e-15f);
// The noise generator, state = state * multiplier + increment modulo 2^32, and the same four steps at once.
constexpr std::uint32_t noiseMultiplier = 1664525u;
constexpr std::uint32_t noiseIncrement = 1013904223u;
constexpr std::uint32_t noiseMultiplier2 = noiseMultiplier * noiseMultiplier;
constexpr std::uint32_t noiseMultiplier4 = noiseMultiplier2 * noiseMultiplier2;
constexpr std::uint32_t noiseIncrement4 =
    ((noiseIncrement * noiseMultiplier + noiseIncrement) * noiseMultiplier + noiseIncrement) *
        noiseMultiplier +
    noiseIncrement;

// A host's channel and where its samples go in double.
struct Conversion
{
    const float* from;
    double* to;
};

// frames samples of each channel from frame offset on, in double with the noise added (the same noise to
// every channel at a frame); advances the generator's state by frames steps.
template <std::size_t count>
void convertWithNoise(std::uint32_t& seed, const Conversion (&channels)[count], int offset,
                      int frames) noexcept
{
    // The generator's states for four frames in a row, each advanced four steps at a time: four short
    // chains instead of one long one, and the same numbers.
    std::uint32_t seeds[4];
    seeds[0] = seed;
    for (int k = 1; k < 4; ++k)
        seeds[k] = seeds[k - 1] * noiseMultiplier + noiseIncrement;
    int i = 0;
    for (; i + 4 <= frames; i += 4)
        for (int k = 0; k < 4; ++k) {
            const double noise = static_cast<double>(seeds[k]) * noiseScale;
            seeds[k] = seeds[k] * noiseMultiplier4 + noiseIncrement4;
            for (const Conversion& c : channels)
                c.to[i + k] = finiteOrZero(c.from[offset + i + k]) + noise;
        }
    const int rest = frames - i;
    for (int k = 0; k < rest; ++k) {
        const double noise = static_cast<double>(seeds[k]) * noiseScale;
        for (const Conversion& c : channels)
            c.to[i + k] = finiteOrZero(c.from[offset + i + k]) + noise;
    }
    // seeds[rest] is the state for the frame after the block (rest < 4).
    seed = seeds[rest];
}
} // namespace

ZaRorurarozePlugin::ZaRorurarozePlugin(KeyInput keyInput)
    : MusicPlugin("zlSB", "ZaRoruraroze", "Orrel @ Quenderlab", "", 2, 2, false),
      sidechainHighpassCutoff_(&paramList, "sidechainHighpassCutoff", "Side HP", 20.0, 5.0, 2000.0),
      sidechainLowpassCutoff_(&paramList, "sidechainLowpassCutoff", "Side LP", 40000.0, 100.0, 40000.0),
      sidechainListen_(&paramList, "sidechainListen", "Sd Listen", false),
      drive_(&paramList, "drive", "Drive", 1.0, 0.1, 1000.0),
      attack_(&paramList, "attack", "Attack", 0.2, 0.0, 10.0),
      release_(&paramList, "release", "Release", 0.2, 0.0, 10.0),
      hilbert_(&paramList, "hilbert", "Hilbert", false),
      threshold_(&paramList, "threshold", "Threshold", 1.0, 0.001, 4.0),
      ratio_(&paramList, "ratio", "Ratio", "dB/dB", 32.0, 0.5, 64.0, &ratioMapping,
             &NormalDisplay::globalInstance),
      outputGain_(&paramList, "outputGain", "Out Gain", 1.0, 0.0, 4.0),
      mix_(&paramList, "mix", "Mix", 1.0, 0.0, 1.0)
{
    connect<double>(sidechainHighpassCutoff_, compressor_, &Compressor::sidechainHighpassCutoff);
    connect<double>(sidechainLowpassCutoff_, compressor_, &Compressor::sidechainLowpassCutoff);
    connect<bool>(sidechainListen_, compressor_, &Compressor::sidechainListen);
    connect<double>(drive_, compressor_, &Compressor::drive);
    connect<double>(attack_, compressor_, &Compressor::attackTime);
    connect<double>(release_, compressor_, &Compressor::releaseTime);
    connect<double>(threshold_, compressor_, &Compressor::threshold);
    connect<double>(ratio_, compressor_, &Compressor::ratio);
    connect<double>(outputGain_, compressor_, &Compressor::outputGain);
    connect<double>(mix_, compressor_, &Compressor::mix);
    connect<bool>(hilbert_, compressor_, &Compressor::hilbert);
    if (keyInput == KeyInput::stereo) {
        numKeyInputs = 2;
        // Saved only when on: at its default the state is the VST 2 build's, byte for byte, and a state
        // without it (any VST 2 state) loads as "own input".
        sidechainSource_.emplace(&paramList, "sidechainSource", "Sd Source", false, "own input", "key");
        sidechainSource_->omitFromPresetsAtDefault();
        connect<bool>(*sidechainSource_, compressor_, &Compressor::sidechainSource);
    }
    connect<double>(sampleRate, compressor_, &Compressor::sampleRate);
    // The order the parameters were added in is the exported index order.
    ZR_ASSERT(paramList.numParams() ==
              (keyInput == KeyInput::stereo ? ZaRorurarozeParam::countWithKey : ZaRorurarozeParam::count));
    ZR_ASSERT(paramList.param(ZaRorurarozeParam::mix) == &mix_);
}

ZaRorurarozePlugin::~ZaRorurarozePlugin() = default;

void ZaRorurarozePlugin::clear() noexcept
{
    compressor_.reset();
    inputPeak_ = outputPeak_ = 0.0f;
}

int ZaRorurarozePlugin::numMeters() const
{
    return ZaRorurarozeMeter::count;
}

MusicPlugin::MeterInfo ZaRorurarozePlugin::meterInfo(int index) const
{
    using Meter = ZaRorurarozeMeter;
    switch (index) {
    case Meter::gainReduction:
        return MeterInfo{"gainReduction", "Gain Reduction", "dB", 0.0, 60.0};
    case Meter::inputLevel:
        return MeterInfo{"inputLevel", "Input Level", "dB", levelFloorDb, levelTopDb, true};
    case Meter::outputLevel:
        return MeterInfo{"outputLevel", "Output Level", "dB", levelFloorDb, levelTopDb, true};
    default:
        break;
    }
    if (index < Meter::firstBand || index >= Meter::count) return MusicPlugin::meterInfo(index);
    const int band = index - Meter::firstBand;
    const std::string number = std::to_string(band / 10) + std::to_string(band % 10);
    return MeterInfo{
        "band" + number, "Band " + std::to_string(band + 1), "dB", levelFloorDb, bandTopDb, true, true};
}

static_assert(ZaRorurarozeMeter::count - ZaRorurarozeMeter::firstBand == MultibandPowerDetector::numBands,
              "a band meter for each of the detector's bands");

double ZaRorurarozePlugin::takeMeterReading(int index) noexcept
{
    using Meter = ZaRorurarozeMeter;
    switch (index) {
    case Meter::gainReduction: {
        const double db = compressor_.takeGainReductionDb();
        return db < 60.0 ? db : 60.0;
    }
    case Meter::inputLevel:
        return decibels(std::exchange(inputPeak_, 0.0f), amplitudeDbPerOctave, levelTopDb);
    case Meter::outputLevel:
        return decibels(std::exchange(outputPeak_, 0.0f), amplitudeDbPerOctave, levelTopDb);
    default:
        break;
    }
    if (index < Meter::firstBand || index >= Meter::count) return 0.0;
    const double power = compressor_.detector_.power_[index - Meter::firstBand];
    return decibels(power / bandReferencePower, powerDbPerOctave, bandTopDb);
}

void ZaRorurarozePlugin::process(const float* const* inputs, float* const* outputs, int sampleFrames) noexcept
{
    render(inputs, nullptr, nullptr, outputs, sampleFrames);
}

void ZaRorurarozePlugin::processWithKey(const float* const* inputs, const float* const* keyInputs,
                                        float* const* outputs, int sampleFrames) noexcept
{
    const bool offered =
        numKeyInputs == 2 && keyInputs != nullptr && keyInputs[0] != nullptr && keyInputs[1] != nullptr;
    render(inputs, offered ? keyInputs[0] : nullptr, offered ? keyInputs[1] : nullptr, outputs, sampleFrames);
}

void ZaRorurarozePlugin::render(const float* const* inputs, const float* keyLeft, const float* keyRight,
                                float* const* outputs, int sampleFrames) noexcept
{
    if (sampleFrames <= 0 || inputs == nullptr || outputs == nullptr) return;
    const float* inLeft = inputs[0];
    const float* inRight = inputs[1];
    float* outLeft = outputs[0];
    float* outRight = outputs[1];
    if (inLeft == nullptr || inRight == nullptr || outLeft == nullptr || outRight == nullptr) return;
    // Before the outputs are written: they may be the input buffers.
    if (editorMetersWanted)
        inputPeak_ = std::max({inputPeak_, peakOf(inLeft, sampleFrames), peakOf(inRight, sampleFrames)});
    // Each block's input (and key, when the side-chain takes it) in double with its noise, made just before
    // the compressor runs the block.
    compressor_.processBlock(
        [&](int offset, int frames, double* left, double* right, double* toKeyLeft, double* toKeyRight) {
            if (toKeyLeft == nullptr) {
                const Conversion channels[] = {{inLeft, left}, {inRight, right}};
                convertWithNoise(noiseSeed_, channels, offset, frames);
            } else {
                const Conversion channels[] = {
                    {inLeft, left}, {inRight, right}, {keyLeft, toKeyLeft}, {keyRight, toKeyRight}};
                convertWithNoise(noiseSeed_, channels, offset, frames);
            }
        },
        outLeft, outRight, sampleFrames, keyLeft != nullptr && keyRight != nullptr);
    if (editorMetersWanted)
        outputPeak_ = std::max({outputPeak_, peakOf(outLeft, sampleFrames), peakOf(outRight, sampleFrames)});
}
