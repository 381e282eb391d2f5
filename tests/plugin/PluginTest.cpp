// The compressor plug-in in process: its signal path against closed forms where the settings make one.

#include "Common/musicplugin/PluginState.h"
#include "Common/musicplugin/UserValue.h"
#include "InProcessHost.h"
#include "ZaRorurarozeParam.h"
#include "ZaRorurarozePlugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <vector>

using namespace zr::test;
using Knob = ZaRorurarozeParam; // parameter indices

namespace
{
// Renders a test signal through a fresh plug-in whose parameters were set to the given knob positions.
Stereo render(const std::vector<std::pair<int, double>>& knobs, const std::vector<float>& inL,
              const std::vector<float>& inR)
{
    ZaRorurarozePlugin plugin;
    for (const auto& knob : knobs)
        plugin.paramList.vstSetParameter(knob.first, static_cast<float>(knob.second));
    return processInBlocks(plugin, {inL, inR}, {static_cast<int>(inL.size())});
}

std::vector<float> sine(size_t frames, double cyclesPerSample, double amplitude)
{
    std::vector<float> s(frames);
    for (size_t i = 0; i < frames; ++i)
        s[i] =
            static_cast<float>(amplitude * std::sin(2.0 * M_PI * cyclesPerSample * static_cast<double>(i)));
    return s;
}
} // namespace

TEST(PluginTest, DryMixPassesTheInputPlusNoise)
{
    std::vector<float> inL = sine(3000, 0.01, 0.9), inR = sine(3000, 0.003, 0.4);
    Stereo run = render(
        {{Knob::mix, 0.0}, {Knob::drive, 1.0}, {Knob::threshold, 0.0}, {Knob::outputGain, 0.3}}, inL, inR);
    std::vector<double> n = pluginNoise(3000);
    for (size_t i = 0; i < 3000; ++i) {
        // G = ((0 * outGain) * drive) * g + (1 - 0) is exactly 1.
        ASSERT_EQ(run.left[i], static_cast<float>(static_cast<double>(inL[i]) + n[i])) << i;
        ASSERT_EQ(run.right[i], static_cast<float>(static_cast<double>(inR[i]) + n[i])) << i;
    }
}

TEST(PluginTest, RatioOneIsDriveTimesOutputGain)
{
    // Ratio 1 sits at knob ln 2 / ln 128 = 1/7 of the logarithmic range [0.5, 64].
    // The float knob lands within 1e-7 of ratio 1, so the gain exponent is within 1e-7 of 0.
    std::vector<float> in = sine(2000, 0.02, 0.5);
    Stereo run = render({{Knob::ratio, 1.0 / 7.0}, {Knob::drive, 0.5}, {Knob::outputGain, 0.75}}, in, in);
    double driveGain = std::pow(0.1, 0.5) * std::pow(1000.0, 0.5); // geometric middle: 10
    double outputGain = 0.75 * 0.75 * 4.0;                         // square-root mapping
    std::vector<double> n = pluginNoise(2000);
    for (size_t i = 0; i < 2000; ++i)
        ASSERT_NEAR(run.left[i], (in[i] + n[i]) * driveGain * outputGain, 1e-4 * driveGain * outputGain) << i;
}

TEST(PluginTest, ListenOutputsTheFilteredSideChainIgnoringTheRest)
{
    std::vector<float> in = sine(4000, 0.05, 0.5);
    Stereo a = render({{Knob::sidechainListen, 1.0},
                       {Knob::sidechainHighpassCutoff, 0.5},
                       {Knob::sidechainLowpassCutoff, 0.3}},
                      in, in);
    Stereo b = render({{Knob::sidechainListen, 1.0},
                       {Knob::sidechainHighpassCutoff, 0.5},
                       {Knob::sidechainLowpassCutoff, 0.3},
                       {Knob::drive, 1.0},
                       {Knob::threshold, 0.0},
                       {Knob::ratio, 1.0},
                       {Knob::mix, 0.2},
                       {Knob::outputGain, 0.0}},
                      in, in);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
    // A high-pass at about 100 Hz and a low-pass at about 400 Hz attenuate a 2205 Hz tone strongly.
    double peak = 0.0;
    for (size_t i = 2000; i < 4000; ++i)
        peak = std::max(peak, std::fabs(static_cast<double>(a.left[i])));
    EXPECT_LT(peak, 0.5 * 0.1);
}

TEST(PluginTest, LoudSignalsAreCompressedQuietOnesAreNot)
{
    // Defaults: threshold 0 dB, ratio 32, 0.2 s attack. A quiet tone passes almost unchanged; a loud one
    // ends far below its input level.
    std::vector<float> quiet = sine(44100, 1000.0 / 44100.0, 0.001);
    std::vector<float> loud = sine(44100, 1000.0 / 44100.0, 1.0);
    Stereo q = render({}, quiet, quiet);
    Stereo l = render({}, loud, loud);
    auto rms = [](const std::vector<float>& s) {
        double sum = 0.0;
        for (size_t i = s.size() / 2; i < s.size(); ++i)
            sum += static_cast<double>(s[i]) * s[i];
        return std::sqrt(sum / static_cast<double>(s.size() / 2));
    };
    EXPECT_NEAR(rms(q.left) / rms(quiet), 1.0, 0.01);
    EXPECT_LT(rms(l.left) / rms(loud), 0.5);
}

TEST(PluginTest, ClearForgetsTheSignalHistory)
{
    const std::vector<float> burst = sine(8000, 0.01, 1.0), probe = sine(2000, 0.02, 0.3);
    ZaRorurarozePlugin plugin;
    processInBlocks(plugin, {burst, burst}, {8000});
    plugin.clear();
    const Stereo after = processInBlocks(plugin, {probe, probe}, {2000});

    // A fresh instance whose noise generator has advanced by the same 8000 samples.
    ZaRorurarozePlugin fresh;
    const std::vector<float> silence(8000, 0.0f);
    processInBlocks(fresh, {silence, silence}, {8000});
    fresh.clear();
    EXPECT_EQ(after.left, processInBlocks(fresh, {probe, probe}, {2000}).left);
}

namespace
{
// Renders through a fresh plug-in at a sample rate, with knob settings, on one detector path, in blocks of
// the given lengths used in turn; in place when asked.
Stereo renderOnPath(DetectorPath path, double sampleRateHz, const std::vector<std::pair<int, double>>& knobs,
                    const std::vector<float>& inL, const std::vector<float>& inR,
                    const std::vector<int>& blocks, bool inPlace)
{
    ZaRorurarozePlugin plugin;
    plugin.sampleRate.setValue(sampleRateHz);
    for (const auto& knob : knobs)
        plugin.paramList.vstSetParameter(knob.first, static_cast<float>(knob.second));
    EXPECT_TRUE(plugin.selectDetectorPath(path));
    return processInBlocks(plugin, {inL, inR}, blocks, inPlace);
}

bool sameFloats(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}
} // namespace

TEST(PluginTest, EveryDetectorPathRendersTheScalarOutputBitForBit)
{
    // A loud tone burst over seeded noise; the scalar path sample by sample is the reference. Knobs: listen,
    // quadrature detection, instant and 10-second attack and release (knob 0 and 1), a low threshold so the
    // gain law works hard, and mixed wet and dry.
    std::vector<float> inL = sine(6000, 0.013, 0.8), inR = sine(6000, 0.17, 0.3);
    std::uint32_t seed = 99;
    for (size_t i = 0; i < inL.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        inR[i] += static_cast<float>(seed >> 8) * (0.2f / 16777216.0f) - 0.1f;
        if ((i / 1000) % 2 == 1) inL[i] *= 0.001f;
    }
    const std::vector<std::vector<std::pair<int, double>>> settings = {
        {},
        {{Knob::hilbert, 1.0}, {Knob::threshold, 0.2}, {Knob::mix, 0.6}},
        {{Knob::sidechainListen, 1.0},
         {Knob::sidechainHighpassCutoff, 0.4},
         {Knob::sidechainLowpassCutoff, 0.5}},
        {{Knob::attack, 0.0}, {Knob::release, 1.0}, {Knob::threshold, 0.1}, {Knob::drive, 0.8}},
        {{Knob::attack, 1.0}, {Knob::release, 0.0}, {Knob::hilbert, 1.0}, {Knob::ratio, 0.0}},
        {{Knob::attack, 0.0}, {Knob::release, 0.0}, {Knob::outputGain, 1.0}}};
    const std::vector<int> oddBlocks = {1, 7, 3, 511, 64, 2, 1000, 33};
    for (double rateHz : {8000.0, 44100.0, 96000.0, 192000.0})
        for (size_t s = 0; s < settings.size(); ++s) {
            const Stereo reference =
                renderOnPath(DetectorPath::scalar, rateHz, settings[s], inL, inR, {1}, false);
            for (DetectorPath path : {DetectorPath::sse2, DetectorPath::avx2, DetectorPath::avx512}) {
                if (!MultibandPowerDetector::pathAvailable(path)) continue;
                for (bool inPlace : {false, true}) {
                    const Stereo run = renderOnPath(path, rateHz, settings[s], inL, inR,
                                                    inPlace ? std::vector<int>{512} : oddBlocks, inPlace);
                    EXPECT_TRUE(sameFloats(run.left, reference.left) &&
                                sameFloats(run.right, reference.right))
                        << "path " << static_cast<int>(path) << ", " << rateHz << " Hz, setting " << s
                        << (inPlace ? ", in place" : ", odd blocks");
                }
            }
        }
}

TEST(PluginTest, NoiseFollowsItsGeneratorAcrossOddBlocks)
{
    // With Mix at 0 the output is the input plus the noise, exactly (see DryMixPassesTheInputPlusNoise); here
    // in blocks that leave every remainder of the generator's four-step advance, and past the plug-in's
    // internal 256-frame pieces.
    std::vector<float> in = sine(5000, 0.007, 0.5);
    const Stereo run = renderOnPath(DetectorPath::scalar, 44100.0, {{Knob::mix, 0.0}}, in, in,
                                    {1, 2, 3, 5, 7, 257, 1031}, false);
    const std::vector<double> n = pluginNoise(5000);
    for (size_t i = 0; i < in.size(); ++i)
        ASSERT_EQ(run.left[i], static_cast<float>(static_cast<double>(in[i]) + n[i])) << i;
}

// A host that turns texts into values (VST3, CLAP) must read back every text a parameter shows, with its
// unit or without, and land on a value that shows the same text again.
TEST(PluginTest, EveryDisplayedTextReadsBackToTheSameText)
{
    ZaRorurarozePlugin plugin(ZaRorurarozePlugin::KeyInput::stereo);
    ZaRorurarozePlugin reader(ZaRorurarozePlugin::KeyInput::stereo);
    for (int i = 0; i < plugin.paramList.numParams(); ++i) {
        Param* param = plugin.paramList.param(i);
        Param* readBack = reader.paramList.param(i);
        for (int step = 0; step <= 40; ++step) {
            param->setKnobPos(step / 40.0);
            const std::string text = param->getDisplayValue();
            for (const std::string& typed : {text, text + " " + param->getDisplayLabel()}) {
                const auto value = zr::host::parseParamText(*param, typed);
                ASSERT_TRUE(value.has_value()) << param->getDisplayName() << ": " << typed;
                if (auto* real = dynamic_cast<RealParam*>(readBack))
                    real->setValue(std::clamp(*value, real->getMinValue(), real->getMaxValue()));
                else
                    readBack->setKnobPos(*value);
                EXPECT_EQ(readBack->getDisplayValue(), text) << param->getDisplayName() << ": " << typed;
            }
        }
        EXPECT_FALSE(zr::host::parseParamText(*param, "twelve").has_value()) << param->getDisplayName();
    }
}

// The editor's meters: peak levels in dBFS, the bands in dB of a full-scale sine at their centre, all
// resting on their floor in silence.
TEST(PluginTest, LevelAndBandMetersReadTheSignal)
{
    using Meter = ZaRorurarozeMeter;
    ZaRorurarozePlugin plugin;
    const std::vector<float> silence(4410, 0.0f);
    processInBlocks(plugin, {silence, silence}, {441});
    EXPECT_EQ(plugin.takeMeterReading(Meter::inputLevel), -90.0);
    EXPECT_EQ(plugin.takeMeterReading(Meter::firstBand + 16), -90.0);
    EXPECT_EQ(plugin.takeMeterReading(Meter::gainReduction), 0.0);

    // Band 16's centre, 632.46 Hz, at amplitude 0.5 (-6.02 dB) in both channels.
    const std::vector<float> tone = sine(44100, 632.4555 / 44100.0, 0.5);
    processInBlocks(plugin, {tone, tone}, {512});
    // Read after the detector settled: the second half of a second more.
    for (int m = 0; m < Meter::count; ++m)
        plugin.takeMeterReading(m);
    const std::vector<float> more(tone.begin(), tone.begin() + 22050);
    processInBlocks(plugin, {more, more}, {512});
    const double input = plugin.takeMeterReading(Meter::inputLevel);
    const double output = plugin.takeMeterReading(Meter::outputLevel);
    const double reduction = plugin.takeMeterReading(Meter::gainReduction);
    // The sampled peak lies within 0.002 dB of the sine's; fast_log2 adds 2e-6 dB.
    EXPECT_NEAR(input, -6.0206, 0.002);
    // Out = in x gain: the output's peak is the input's less about the reduction (peaks and the gain's
    // ripple need not coincide).
    EXPECT_NEAR(output, input - reduction, 0.5);
    double loudest = -90.0;
    int loudestBand = -1;
    for (int k = 0; k < 33; ++k) {
        const double db = plugin.takeMeterReading(Meter::firstBand + k);
        if (db > loudest) std::tie(loudest, loudestBand) = std::make_pair(db, k);
    }
    EXPECT_EQ(loudestBand, 16);
    // 1 dB: the band's smoothed power ripples at twice the tone's frequency (Hilbert off).
    EXPECT_NEAR(loudest, -6.02, 1.0);
}

namespace
{
// Renders through processWithKey in blocks of the given lengths; a key of no channels offers none.
Stereo renderWithKey(ZaRorurarozePlugin& plugin, const Stereo& input, const Stereo& key,
                     const std::vector<int>& blocks)
{
    const std::size_t frames = input.left.size();
    Stereo output{std::vector<float>(frames), std::vector<float>(frames)};
    std::size_t block = 0;
    for (std::size_t n = 0; n < frames;) {
        const int length =
            static_cast<int>(std::min<std::size_t>(blocks[block++ % blocks.size()], frames - n));
        const float* inputs[2] = {&input.left[n], &input.right[n]};
        const float* keys[2] = {key.left.empty() ? nullptr : &key.left[n],
                                key.right.empty() ? nullptr : &key.right[n]};
        float* outputs[2] = {&output.left[n], &output.right[n]};
        plugin.processWithKey(inputs, key.left.empty() ? nullptr : keys, outputs, length);
        n += static_cast<std::size_t>(length);
    }
    return output;
}
} // namespace

// The key gets the input's treatment (noise, the guard against NaN, infinite and absurd samples), so a key
// equal to the input renders the plug-in's own-input output bit for bit; without a key offered, or with Sd
// Source on "own input", the key changes nothing; a different key does.
TEST(PluginTest, TheKeyIsTreatedAsTheInputAndUsedOnlyWhenChosen)
{
    std::vector<float> left = sine(3000, 0.01, 0.9), right = sine(3000, 0.003, 0.4);
    for (std::size_t i : {100u, 777u, 1500u}) {
        left[i] = std::nanf("");
        right[i + 1] = i == 777u ? 1e30f : -HUGE_VALF;
    }
    const Stereo input{left, right}, other{sine(3000, 0.0007, 0.8), sine(3000, 0.0011, 0.8)}, none;
    ZaRorurarozePlugin own;
    const Stereo expected = processInBlocks(own, input, {3000});
    const std::vector<int> blocks = {1, 7, 300, 64, 1000};
    struct Case
    {
        const char* what;
        bool keyChosen;
        const Stereo& key;
        bool same;
    };
    const Case cases[] = {{"key = input, chosen", true, input, true},
                          {"no key offered, chosen", true, none, true},
                          {"other key, not chosen", false, other, true},
                          {"other key, chosen", true, other, false}};
    for (const Case& k : cases) {
        ZaRorurarozePlugin keyed(ZaRorurarozePlugin::KeyInput::stereo);
        keyed.paramList.vstSetParameter(Knob::sidechainSource, k.keyChosen ? 1.0f : 0.0f);
        const Stereo run = renderWithKey(keyed, input, k.key, blocks);
        EXPECT_EQ(sameFloats(run.left, expected.left) && sameFloats(run.right, expected.right), k.same)
            << k.what;
    }
}

// Sd Source exists only where a key can come in, as the twelfth parameter, and a state holds it only while
// it is on: at "own input" every build writes the VST 2 build's chunk, and that build reads a state with the
// key chosen and writes its own chunk again.
TEST(PluginTest, SdSourceOnlyWithAKeyAndInTheStateOnlyWhenOn)
{
    ZaRorurarozePlugin plain, keyed(ZaRorurarozePlugin::KeyInput::stereo);
    EXPECT_EQ(plain.paramList.numParams(), Knob::count);
    EXPECT_EQ(plain.numKeyInputs, 0);
    ASSERT_EQ(keyed.paramList.numParams(), Knob::countWithKey);
    EXPECT_EQ(keyed.numKeyInputs, 2);
    const Param& source = *keyed.paramList.param(Knob::sidechainSource);
    EXPECT_EQ(source.getSaveName() + "|" + source.getDisplayName() + "|" + source.getDisplayValue(),
              "sidechainSource|Sd Source|own input");
    const std::string plainState = PluginState::saveBank(plain, 0);
    EXPECT_EQ(PluginState::saveBank(keyed, 0), plainState);
    keyed.paramList.vstSetParameter(Knob::sidechainSource, 1.0f);
    const std::string keyState = PluginState::saveBank(keyed, 0);
    EXPECT_NE(keyState.find("\t\t\tsidechainSource\n\t\t\t\ttrue\n"), std::string::npos) << keyState;
    ASSERT_TRUE(PluginState::loadBank(plain, 0, keyState));
    EXPECT_EQ(PluginState::saveBank(plain, 0), plainState);
    ASSERT_TRUE(PluginState::loadBank(keyed, 0, plainState));
    EXPECT_EQ(source.getDisplayValue(), "own input");
}
