// The VST 3 bridge in process, driven as hosts drive it: the factory and the parameters as hosts see them,
// knob positions and states against the VST 2 build's chunk, texts and plain values read back, audio
// against the plug-in itself, parameter changes at their offsets, hostile streams and call orders.

#include "Common/musicplugin/PluginState.h"
#include "Common/vst3/Vst3Text.h"
#include "ZaRorurarozeParam.h"
#include "tests/vst3/Vst3TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace vst3test;
using Knob = ZaRorurarozeParam;

namespace
{
// Every main control moved, as the Ardour checks do ("compress"): knob positions by parameter index.
const std::vector<std::pair<int, double>> compress = {{0, 0.4}, {1, 0.8}, {3, 0.3}, {4, 0.2},  {5, 0.35},
                                                      {6, 1.0}, {7, 0.3}, {8, 0.6}, {9, 0.45}, {10, 0.8}};

// The state the VST 2 build saves after the same float knob positions: its bank chunk and terminator.
std::string vst2Chunk(const std::vector<std::pair<int, double>>& knobs)
{
    ZaRorurarozePlugin plugin;
    for (const auto& [index, position] : knobs)
        plugin.paramList.vstSetParameter(index, static_cast<float>(position));
    return PluginState::saveBank(plugin, 0) + '\0';
}

// A stereo test signal: two tones and a burst, different on each side.
void fill(std::vector<std::vector<float>>& channels, int frames, int start = 0)
{
    for (int n = 0; n < frames; ++n) {
        const double t = (start + n) / 48000.0;
        const double burst = std::fmod(t, 0.05) < 0.01 ? 0.5 : 0.05;
        channels[0][static_cast<std::size_t>(n)] = static_cast<float>(burst * std::sin(6283.0 * t));
        channels[1][static_cast<std::size_t>(n)] = static_cast<float>(0.3 * std::sin(1500.0 * t + 1.0));
    }
}

std::string text(IEditController* controller, ParamID id, double normalized)
{
    String128 buffer{};
    if (controller->getParamStringByValue(id, normalized, buffer) != kResultOk) return "(refused)";
    return utf8Of(buffer, 128);
}
} // namespace

TEST(Vst3Factory, DescribesOneEffectClassAndMakesOnlyIt)
{
    Vst3Factory factory(descriptor, "someone@example.org");
    PFactoryInfo info{};
    ASSERT_EQ(factory.getFactoryInfo(&info), kResultOk);
    EXPECT_STREQ(info.vendor, "Orrel @ Quenderlab");
    ASSERT_EQ(factory.countClasses(), 1);
    PClassInfo2 c{};
    ASSERT_EQ(factory.getClassInfo2(0, &c), kResultOk);
    EXPECT_EQ(std::string(c.cid, 16), "ZaRorurarozeVST3"); // the four words, big-endian on Linux
    EXPECT_STREQ(c.category, "Audio Module Class");
    EXPECT_STREQ(c.name, "ZaRoruraroze");
    EXPECT_STREQ(c.subCategories, "Fx|Dynamics");
    EXPECT_EQ(factory.getClassInfo2(1, &c), kInvalidArgument);

    void* obj = &info;
    const Uid otherClass = makeUid(1, 2, 3, 4);
    EXPECT_EQ(factory.createInstance(otherClass.bytes, IComponent::iid.bytes, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
    const Uid unknownInterface = makeUid(5, 6, 7, 8);
    EXPECT_EQ(factory.createInstance(descriptor.classId.bytes, unknownInterface.bytes, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr); // and the instance made for it is gone again (the leak checker watches)
    EXPECT_EQ(factory.createInstance(descriptor.classId.bytes, IComponent::iid.bytes, nullptr),
              kInvalidArgument);
}

// The scanner and JUCE release the component before an interface they queried from it.
TEST(Vst3Adaptor, InterfacesShareOneReferenceCountInAnyReleaseOrder)
{
    Vst3Factory factory(descriptor, "");
    void* obj = nullptr;
    ASSERT_EQ(factory.createInstance(descriptor.classId.bytes, IComponent::iid.bytes, &obj), kResultOk);
    auto* component = static_cast<IComponent*>(obj);
    const Uid unknown = makeUid(9, 9, 9, 9);
    EXPECT_EQ(component->queryInterface(unknown.bytes, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
    ASSERT_EQ(component->queryInterface(IAudioProcessor::iid.bytes, &obj), kResultOk);
    auto* processor = static_cast<IAudioProcessor*>(obj);
    ASSERT_EQ(component->initialize(nullptr), kResultOk);
    EXPECT_EQ(component->setActive(0), kResultOk); // never activated: harmless
    EXPECT_EQ(component->terminate(), kResultOk);
    EXPECT_EQ(component->release(), 1u);
    EXPECT_EQ(processor->getLatencySamples(), 0u);
    EXPECT_EQ(processor->release(), 0u);
}

TEST(Vst3Adaptor, ParametersAsHostsSeeThem)
{
    struct Expected
    {
        const char* title;
        const char* units;
        std::int32_t steps;
        std::int32_t flags;
        double minPlain, defaultPlain, maxPlain;
    };
    const std::int32_t automate = ParameterInfo::kCanAutomate;
    const Expected expected[] = {
        {"Side HP", "Hz", 0, automate, 5, 20, 2000},
        {"Side LP", "Hz", 0, automate, 100, 40000, 40000},
        {"Sd Listen", "", 1, automate, 0, 0, 1},
        {"Drive", "dB", 0, automate, -20, 0, 60},
        {"Attack", "s", 0, automate, 0, 0.2, 10},
        {"Release", "s", 0, automate, 0, 0.2, 10},
        {"Hilbert", "", 1, automate, 0, 0, 1},
        {"Threshold", "dB", 0, automate, -60, 0, 12.0411998}, // 20 log10(4)
        {"Ratio", "dB/dB", 0, automate, 0.5, 32, 64},
        {"Out Gain", "dB", 0, automate, -90, 0, 12.0411998}, // -90 dB stands for silence
        {"Mix", "%", 0, automate, 0, 100, 100},
        {"Gain Reduction", "dB", 0, ParameterInfo::kIsReadOnly, 0, 0, 60},
    };
    Instance a;
    ASSERT_EQ(a.controller->getParameterCount(), static_cast<std::int32_t>(std::size(expected)));
    for (std::int32_t i = 0; i < a.controller->getParameterCount(); ++i) {
        const Expected& e = expected[i];
        ParameterInfo info{};
        ASSERT_EQ(a.controller->getParameterInfo(i, info), kResultOk);
        EXPECT_EQ(info.id, static_cast<ParamID>(i));
        EXPECT_EQ(utf8Of(info.title, 128), e.title);
        EXPECT_EQ(utf8Of(info.units, 128), e.units) << e.title;
        EXPECT_EQ(info.stepCount, e.steps) << e.title;
        EXPECT_EQ(info.flags, e.flags) << e.title;
        // Plain values in the units shown; the range's ends and the default exact to float rounding.
        EXPECT_NEAR(a.controller->normalizedParamToPlain(info.id, 0.0), e.minPlain, 1e-6) << e.title;
        EXPECT_NEAR(a.controller->normalizedParamToPlain(info.id, info.defaultNormalizedValue),
                    e.defaultPlain, 1e-9)
            << e.title;
        EXPECT_NEAR(a.controller->normalizedParamToPlain(info.id, 1.0), e.maxPlain, 1e-6) << e.title;
        EXPECT_EQ(a.controller->getParamNormalized(info.id), info.defaultNormalizedValue) << e.title;
    }
    ParameterInfo info{};
    EXPECT_EQ(a.controller->getParameterInfo(12, info), kInvalidArgument);
}

// Hosts set values through plain units (Ardour) and through texts: both must come back to the knob
// position they came from, and every text the plug-in shows must read back as itself.
TEST(Vst3Adaptor, PlainValuesAndTextsReadBack)
{
    Instance a;
    for (ParamID id = 0; id < Knob::count; ++id) {
        for (double n : {0.0, 0.013, 0.25, 0.5, 0.77, 1.0}) {
            SCOPED_TRACE(std::to_string(id) + " at " + std::to_string(n));
            const double plain = a.controller->normalizedParamToPlain(id, n);
            const double back = a.controller->plainParamToNormalized(id, plain);
            if (id == Knob::sidechainListen || id == Knob::hilbert)
                EXPECT_EQ(back, n >= 0.5 ? 1.0 : 0.0);
            else if (id == Knob::outputGain && plain <= -90.0)
                EXPECT_EQ(back, 0.0); // below -90 dB is silence
            else
                EXPECT_NEAR(back, n, 1e-12);
            const std::string shown = text(a.controller, id, n);
            std::u16string typed(shown.begin(), shown.end());
            ParamValue parsed = -1.0;
            ASSERT_EQ(a.controller->getParamValueByString(id, typed.data(), parsed), kResultOk) << shown;
            EXPECT_EQ(text(a.controller, id, parsed), shown);
        }
    }
    ParamValue parsed = 0.0;
    std::u16string words[] = {u"-20 dB", u"on", u"12.5k"};
    EXPECT_EQ(a.controller->getParamValueByString(Knob::threshold, words[0].data(), parsed), kResultOk);
    EXPECT_EQ(text(a.controller, Knob::threshold, parsed), "-20.0");
    EXPECT_EQ(a.controller->getParamValueByString(Knob::hilbert, words[1].data(), parsed), kResultOk);
    EXPECT_EQ(parsed, 1.0);
    EXPECT_EQ(a.controller->getParamValueByString(Knob::threshold, words[2].data(), parsed), kResultFalse);
}

// The normalised value is the VST 2 knob position: the same positions, from the processor's queues or
// the controller alone, give the VST 2 build's bank chunk byte for byte.
TEST(Vst3Adaptor, KnobPositionsGiveTheVst2BuildsChunk)
{
    const std::string expected = vst2Chunk(compress);
    {
        Instance a;
        ParameterChanges changes;
        for (const auto& [index, position] : compress)
            changes.add(static_cast<ParamID>(index), 0, position);
        ASSERT_EQ(a.process(0, &changes), kResultOk); // a flush: changes without audio
        EXPECT_EQ(a.state(), expected);
    }
    {
        Instance a;
        for (const auto& [index, position] : compress)
            a.controller->setParamNormalized(static_cast<ParamID>(index), position);
        EXPECT_EQ(a.state(), expected);
        Instance b;
        ASSERT_EQ(b.setState(a.state()), kResultOk);
        EXPECT_EQ(b.state(), expected);
        EXPECT_EQ(b.controller->getParamNormalized(Knob::ratio),
                  a.controller->getParamNormalized(Knob::ratio));
    }
}

// Whatever the block sizes, in place or not, the output is the plug-in's own over the whole signal; a
// change at a sample offset takes effect at that sample.
TEST(Vst3Adaptor, AudioIsThePluginsOwnWithChangesAtTheirOffsets)
{
    constexpr int frames = 3000;
    std::vector<std::vector<float>> input(2, std::vector<float>(frames));
    fill(input, frames);
    // The reference: the plug-in in process, the threshold moved at frame 1234.
    ZaRorurarozePlugin reference;
    reference.sampleRate.setValue(48000.0);
    std::vector<std::vector<float>> expected(2, std::vector<float>(frames));
    for (const auto& [from, to] : {std::pair{0, 1234}, std::pair{1234, frames}}) {
        if (from > 0) reference.paramList.vstSetParameter(Knob::threshold, 0.2f);
        const float* in[2] = {&input[0][from], &input[1][from]};
        float* out[2] = {&expected[0][from], &expected[1][from]};
        reference.process(in, out, to - from);
    }
    const std::vector<int> blockSizes[] = {{3000}, {1, 7, 64, 511, 1024, 1393}, {1234, 1766}};
    for (bool inPlace : {false, true}) {
        for (const auto& sizes : blockSizes) {
            Instance a(48000.0, frames);
            a.in = input;
            if (inPlace) a.out = input;
            int at = 0;
            for (int size : sizes) {
                ParameterChanges changes;
                if (at <= 1234 && 1234 < at + size) changes.add(Knob::threshold, 1234 - at, 0.2);
                ASSERT_EQ(a.process(size, &changes, at, inPlace), kResultOk);
                at += size;
            }
            EXPECT_TRUE(a.out == expected) << "in place " << inPlace << ", " << sizes.size() << " blocks";
        }
    }
}

// With a key, a second input bus, "Side-chain", auxiliary and off until the host switches it on: only then
// does the plug-in get the key (Ardour passes the buffers of a bus that is off), and Sd Source then lets
// it drive the detector. The plug-in's own processWithKey is the reference.
TEST(Vst3Adaptor, TheSideChainBusCarriesTheKeyOnlyWhileOn)
{
    constexpr int frames = 2048;
    Instance a(48000.0, frames, keyedDescriptor);
    ASSERT_EQ(a.component->getBusCount(kAudio, kInput), 2);
    BusInfo bus{};
    ASSERT_EQ(a.component->getBusInfo(kAudio, kInput, 1, bus), kResultOk);
    EXPECT_EQ(utf8Of(bus.name, 128) + " " + std::to_string(bus.channelCount), "Side-chain 2");
    EXPECT_EQ(bus.busType, kAux);
    EXPECT_EQ(bus.flags, 0u);
    SpeakerArrangement arrangements[] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
    SpeakerArrangement mono[] = {SpeakerArr::kStereo, SpeakerArr::kMono};
    EXPECT_EQ(a.processor->setBusArrangements(arrangements, 2, arrangements, 1), kResultTrue);
    EXPECT_EQ(a.processor->setBusArrangements(mono, 2, arrangements, 1), kResultFalse);

    fill(a.in, frames);
    std::vector<std::vector<float>> key(2, std::vector<float>(frames));
    for (int n = 0; n < frames; ++n)
        key[0][static_cast<std::size_t>(n)] = key[1][static_cast<std::size_t>(n)] =
            static_cast<float>(0.9 * std::sin(0.004 * n));
    const auto reference = [&](bool keyed) {
        ZaRorurarozePlugin plugin(ZaRorurarozePlugin::KeyInput::stereo);
        plugin.sampleRate.setValue(48000.0);
        plugin.paramList.vstSetParameter(Knob::sidechainSource, 1.0f);
        std::vector<std::vector<float>> out(2, std::vector<float>(frames));
        const float* in[2] = {a.in[0].data(), a.in[1].data()};
        const float* keys[2] = {key[0].data(), key[1].data()};
        float* outs[2] = {out[0].data(), out[1].data()};
        plugin.processWithKey(in, keyed ? keys : nullptr, outs, frames);
        return out;
    };
    for (bool on : {false, true}) {
        Instance b(48000.0, frames, keyedDescriptor);
        b.in = a.in;
        EXPECT_EQ(b.component->activateBus(kAudio, kInput, 1, on ? 1 : 0), kResultOk);
        ParameterChanges source;
        source.add(Knob::sidechainSource, 0, 1.0);
        ASSERT_EQ(b.process(frames, &source, 0, false, &key), kResultOk);
        EXPECT_TRUE(b.out == reference(on)) << "bus on " << on;
    }
    // On, without its buffers: no key.
    EXPECT_EQ(a.component->activateBus(kAudio, kInput, 1, 1), kResultOk);
    ParameterChanges source;
    source.add(Knob::sidechainSource, 0, 1.0);
    ASSERT_EQ(a.process(frames, &source), kResultOk);
    EXPECT_TRUE(a.out == reference(false));
}

// Silence flags mark silent output; channels a host leaves without buffers read silence and crash nothing.
TEST(Vst3Adaptor, SilenceFlagsAndMissingBuffers)
{
    Instance a;
    fill(a.in, 256);
    ASSERT_EQ(a.process(256), kResultOk);
    EXPECT_EQ(a.silenceFlags, 0u);
    ParameterChanges silent;
    silent.add(Knob::outputGain, 0, 0.0); // the floor of Out Gain is silence
    ASSERT_EQ(a.process(256, &silent), kResultOk);
    EXPECT_EQ(a.silenceFlags, 3u);

    float* channels[2] = {a.out[0].data(), nullptr};
    AudioBusBuffers bus{};
    bus.numChannels = 2;
    bus.channelBuffers32 = channels;
    ProcessData noInputs{kRealtime, kSample32, 1000,    0,       1,       nullptr,
                         &bus,      nullptr,   nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(a.processor->process(noInputs), kResultOk);
    ProcessData doubles = noInputs;
    doubles.symbolicSampleSize = kSample64;
    EXPECT_EQ(a.processor->process(doubles), kInvalidArgument);
    EXPECT_EQ(a.processor->canProcessSampleSize(kSample64), kResultFalse);
}

TEST(Vst3Adaptor, MeterReportsTheGainReductionAfterEachBlock)
{
    Instance a;
    fill(a.in, 1024);
    ParameterChanges low;
    low.add(Knob::threshold, 0, 0.1);
    ASSERT_EQ(a.process(1024, &low), kResultOk);
    ASSERT_EQ(a.outputChanges.queues.size(), 1u);
    const ValueQueue& meter = a.outputChanges.queues.front();
    EXPECT_EQ(meter.id, static_cast<ParamID>(Knob::count));
    ASSERT_EQ(meter.points.size(), 1u);
    EXPECT_GT(meter.points[0].second, 10.0 / 60.0); // over 10 dB of reduction with the knee far down
    EXPECT_LE(meter.points[0].second, 1.0);
    EXPECT_EQ(a.controller->getParamNormalized(Knob::count), meter.points[0].second);
}

// A stream may hold more than our state, deliver it a few bytes per read, or hold no state at all: a
// refusal changes nothing already stored.
TEST(Vst3Adaptor, StateStreams)
{
    const std::string own = vst2Chunk(compress);
    Instance a;
    ASSERT_EQ(a.setState(own), kResultOk);
    {
        MemoryStream more(own + "the host's own bytes");
        ASSERT_EQ(a.component->setState(&more), kResultOk);
        EXPECT_EQ(more.position, own.size());
    }
    EXPECT_EQ(a.setState(own, 3), kResultOk);
    EXPECT_EQ(a.setState(own.substr(0, own.size() - 1)), kResultOk); // no terminator
    EXPECT_EQ(a.state(), own);
    const std::string refused[] = {"", std::string(1, '\0'), "garbage", std::string(5 << 20, 'x'),
                                   PluginState::saveProgram(*std::make_unique<ZaRorurarozePlugin>(), 0)};
    for (const std::string& bytes : refused) {
        EXPECT_EQ(a.setState(bytes, 7), kResultFalse) << bytes.substr(0, 20);
        EXPECT_EQ(a.state(), own);
    }
    EXPECT_EQ(a.component->setState(nullptr), kResultFalse);
    EXPECT_EQ(a.component->getState(nullptr), kResultFalse);
}

// Hosts send the values they stored beside a state, rounded, before or after it (Ardour's session files
// hold both), or echo the knob positions back as floats: the exact state stays until a knob really moves.
TEST(Vst3Adaptor, TheStateWinsOverRoundedValues)
{
    ZaRorurarozePlugin exact;
    exact.paramList.param(Knob::threshold)->loadString("0.123456789");
    exact.paramList.param(Knob::attack)->loadString("0.0123456789");
    const std::string state = PluginState::saveBank(exact, 0) + '\0';
    for (bool before : {true, false}) {
        Instance a;
        ParameterChanges echoes;
        const auto echo = [&] {
            for (ParamID id : {ParamID(Knob::threshold), ParamID(Knob::attack)}) {
                const float rounded = static_cast<float>(exact.paramList.param(int(id))->getKnobPos());
                a.controller->setParamNormalized(id, rounded);
                echoes.add(id, 0, rounded);
            }
        };
        if (before) echo();
        ASSERT_EQ(a.setState(state), kResultOk);
        if (!before) echo();
        ASSERT_EQ(a.process(64, &echoes), kResultOk);
        EXPECT_EQ(a.state(), state) << (before ? "before" : "after");
        ParameterChanges move;
        move.add(Knob::threshold, 0, 0.5);
        ASSERT_EQ(a.process(64, &move), kResultOk);
        EXPECT_NE(a.state(), state);
    }
}

TEST(Vst3Adaptor, RefusesCallsOutsideItsLifecycleAndForeignLayouts)
{
    Vst3Factory factory(descriptor, "");
    void* obj = nullptr;
    ASSERT_EQ(factory.createInstance(descriptor.classId.bytes, IComponent::iid.bytes, &obj), kResultOk);
    auto* component = static_cast<IComponent*>(obj);
    ASSERT_EQ(component->queryInterface(IEditController::iid.bytes, &obj), kResultOk);
    auto* controller = static_cast<IEditController*>(obj);
    ASSERT_EQ(component->queryInterface(IAudioProcessor::iid.bytes, &obj), kResultOk);
    auto* processor = static_cast<IAudioProcessor*>(obj);
    ProcessData data{};
    const auto refusesAll = [&] {
        MemoryStream stream(vst2Chunk({}));
        EXPECT_EQ(processor->process(data), kNotInitialized);
        EXPECT_EQ(component->setState(&stream), kNotInitialized);
        EXPECT_EQ(controller->getParameterCount(), 0);
        EXPECT_EQ(component->getBusCount(kAudio, kInput), 0);
    };
    refusesAll();
    // Ardour initialises and terminates the one object as component and as controller.
    EXPECT_EQ(component->initialize(nullptr), kResultOk);
    EXPECT_EQ(controller->initialize(nullptr), kResultOk);
    EXPECT_EQ(component->getBusCount(kAudio, kInput), 1);
    BusInfo bus{};
    EXPECT_EQ(component->getBusInfo(kAudio, kOutput, 1, bus), kInvalidArgument);
    EXPECT_EQ(component->getBusInfo(kEvent, kInput, 0, bus), kInvalidArgument);
    SpeakerArrangement stereo = SpeakerArr::kStereo, mono = SpeakerArr::kMono;
    EXPECT_EQ(processor->setBusArrangements(&stereo, 1, &stereo, 1), kResultTrue);
    EXPECT_EQ(processor->setBusArrangements(&mono, 1, &stereo, 1), kResultFalse);
    EXPECT_EQ(processor->setBusArrangements(&stereo, 2, &stereo, 1), kResultFalse);
    EXPECT_EQ(processor->setBusArrangements(nullptr, 1, &stereo, 1), kInvalidArgument);
    ProcessSetup setup{kRealtime, kSample32, 512, std::nan("")};
    EXPECT_EQ(processor->setupProcessing(setup), kInvalidArgument);
    // Values no knob has, and IDs no parameter has: NaN and unknown IDs change nothing, the rest is clamped.
    EXPECT_EQ(controller->setParamNormalized(Knob::mix, std::nan("")), kInvalidArgument);
    EXPECT_EQ(controller->setParamNormalized(999, 0.5), kInvalidArgument);
    ParameterChanges hostile;
    hostile.add(Knob::drive, 0, std::nan(""));
    hostile.add(Knob::attack, 0, -3.0);
    hostile.add(Knob::ratio, 0, 7.0);
    hostile.add(999, 0, 0.5);
    hostile.add(Knob::count, 0, 0.5); // the meter takes no input
    ProcessData flush{kRealtime, kSample32, 0,       0,       0,       nullptr,
                      nullptr,   &hostile,  nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(processor->process(flush), kResultOk);
    MemoryStream saved;
    ASSERT_EQ(component->getState(&saved), kResultOk);
    EXPECT_EQ(saved.data, vst2Chunk({{Knob::attack, 0.0}, {Knob::ratio, 1.0}}));
    EXPECT_EQ(controller->terminate(), kResultOk);
    EXPECT_EQ(component->terminate(), kResultOk);
    EXPECT_EQ(component->terminate(), kResultFalse);
    refusesAll();
    processor->release();
    controller->release();
    component->release();
}
