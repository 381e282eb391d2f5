// The host's threads all at once, for a bounded time: an audio thread hands over events and processes
// blocks of changing length in both styles, while other threads automate every parameter and read its
// texts, switch, rename and copy programs, take and restore program and bank chunks (and foreign and
// refused ones), and suspend, resume and change the sample rate and block size. Every call serialises on
// the adaptor's lock; the test command runs this under ThreadSanitizer. Afterwards the state is
// consistent: chunk round trips are fixed points and every knob is in range; and every output sample was
// finite throughout.

#include "InProcessHost.h"
#include "MidiEvents.h"
#include "ZaRorurarozeParam.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

using namespace zr::test;
using Knob = ZaRorurarozeParam; // parameter indices

namespace
{
constexpr auto stressDuration = std::chrono::seconds(3);
// Audio blocks the run lasts at the least, however slowly a sanitizer makes them.
constexpr long leastBlocks = 50;
constexpr VstInt32 largestBlockFrames = 1024;

struct Counters
{
    std::atomic<bool> stop{false};
    std::atomic<bool> outputFinite{true};
    std::atomic<bool> knobsInRange{true};
    std::atomic<bool> chunksAccepted{true};
    std::atomic<long> blocks{0};
    std::atomic<long> parameterCalls{0};
    std::atomic<long> programCalls{0};
    std::atomic<long> chunkCalls{0};
    std::atomic<long> lifecycleCalls{0};
};

void audioThread(AEffect* e, Counters& counters)
{
    std::vector<float> inL(largestBlockFrames), inR(largestBlockFrames);
    std::vector<float> outL(largestBlockFrames), outR(largestBlockFrames);
    std::uint32_t seed = 1;
    for (long block = 0; !counters.stop.load(); ++block) {
        // Lengths from 1 to the largest block, in both styles; now and then bad samples and samples of
        // +-1000.
        VstInt32 frames = 1 + static_cast<VstInt32>((block * 131) % largestBlockFrames);
        float scale = block % 5 == 0 ? 1000.0f : 1.0f;
        for (VstInt32 i = 0; i < frames; ++i) {
            seed = seed * 1664525u + 1013904223u;
            inL[i] = scale * (static_cast<float>(static_cast<std::int32_t>(seed)) / 2147483648.0f);
            inR[i] = -inL[i];
            outL[i] = outR[i] = 0.0f;
        }
        if (block % 7 == 0)
            inL[static_cast<std::size_t>(frames) / 2] = std::numeric_limits<float>::quiet_NaN();
        float* inputs[2] = {inL.data(), inR.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        // Three events, at the start, the middle and the end.
        MidiEvents events({{0, 0x90}, {frames / 2, 0x90}, {frames, 0x90}});
        e->dispatcher(e, effProcessEvents, 0, 0, events.events(), 0.0f);
        if (block % 2 == 0)
            e->processReplacing(e, inputs, outputs, frames);
        else
            e->process(e, inputs, outputs, frames);
        for (VstInt32 i = 0; i < frames; ++i)
            if (!std::isfinite(outL[i]) || !std::isfinite(outR[i])) counters.outputFinite.store(false);
        counters.blocks.fetch_add(1);
    }
}

void automationThread(AEffect* e, Counters& counters, unsigned seed)
{
    for (unsigned step = seed; !counters.stop.load(); ++step) {
        VstInt32 index = static_cast<VstInt32>(step % Knob::count);
        e->setParameter(e, index, static_cast<float>((step * 37) % 101) / 100.0f);
        float knob = e->getParameter(e, index);
        if (!(knob >= 0.0f && knob <= 1.0f)) counters.knobsInRange.store(false);
        char text[paramTextBytes];
        for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
            e->dispatcher(e, opcode, index, 0, text, 0.0f);
        counters.parameterCalls.fetch_add(1);
    }
}

void programThread(AEffect* e, Counters& counters)
{
    for (unsigned step = 0; !counters.stop.load(); ++step) {
        char name[programNameBytes];
        e->dispatcher(e, effSetProgram, 0, 0, nullptr, 0.0f);
        e->dispatcher(e, effGetProgramName, 0, 0, name, 0.0f);
        char newName[] = "Stress program";
        e->dispatcher(e, effSetProgramName, 0, 0, newName, 0.0f);
        e->dispatcher(e, effGetProgramNameIndexed, 0, 0, name, 0.0f);
        e->dispatcher(e, effCopyProgram, 0, 0, nullptr, 0.0f);
        e->dispatcher(e, effBeginSetProgram, 0, 0, nullptr, 0.0f);
        e->dispatcher(e, effEndSetProgram, 0, 0, nullptr, 0.0f);
        counters.programCalls.fetch_add(1);
    }
}

// The only thread that takes chunks: the buffer handed out stays valid only until the next request, so a
// host copies it before asking again, and asks from one thread.
void chunkThread(InProcessHost& fx, Counters& counters)
{
    const std::string foreignBank =
        std::string("presetList\n\tPreset\n\t\tName\n\t\t\tForeign\n\t\tParameterList\n"
                    "\t\t\tdrive\n\t\t\t\t1e999\n\t\t\tratio\n\t\t\t\tnonsense") +
        '\0';
    const std::string refusedBank = std::string("Name\n\tNo bank here") + '\0';
    for (unsigned step = 0; !counters.stop.load(); ++step) {
        bool isPreset = step % 2 == 0;
        std::string saved = fx.chunk(isPreset);
        if (fx.setChunk(saved, isPreset) != 1) counters.chunksAccepted.store(false);
        if (step % 10 == 0 && fx.setChunk(foreignBank, false) != 1) counters.chunksAccepted.store(false);
        if (step % 10 == 5 && fx.setChunk(refusedBank, false) != 0) counters.chunksAccepted.store(false);
        counters.chunkCalls.fetch_add(1);
    }
}

void lifecycleThread(AEffect* e, Counters& counters)
{
    const float ratesHz[] = {44100.0f, 48000.0f, 96000.0f, 8000.0f, 192000.0f};
    for (unsigned step = 0; !counters.stop.load(); ++step) {
        float rateHz = ratesHz[step % 5];
        VstIntPtr blockFrames = VstIntPtr(64) << (step % 6);
        e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
        if (step % 2 == 0) {
            e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, rateHz);
            e->dispatcher(e, effSetBlockSize, 0, blockFrames, nullptr, 0.0f);
        } else {
            e->dispatcher(e, effSetBlockSizeAndSampleRate, 0, blockFrames, nullptr, rateHz);
        }
        e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
        counters.lifecycleCalls.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
} // namespace

TEST(ConcurrencyTest, AudioWhileEveryOtherHostThreadChangesState)
{
    InProcessHost fx;
    fx.start(44100.0f, largestBlockFrames);
    fx.recordsHostCalls = false;
    AEffect* e = fx.effect();
    Counters counters;

    std::vector<std::thread> threads;
    threads.emplace_back(audioThread, e, std::ref(counters));
    threads.emplace_back(automationThread, e, std::ref(counters), 0u);
    threads.emplace_back(automationThread, e, std::ref(counters), 5u);
    threads.emplace_back(programThread, e, std::ref(counters));
    threads.emplace_back(chunkThread, std::ref(fx), std::ref(counters));
    threads.emplace_back(lifecycleThread, e, std::ref(counters));

    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < stressDuration || counters.blocks.load() < leastBlocks)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    counters.stop.store(true);
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_TRUE(counters.outputFinite.load());
    EXPECT_TRUE(counters.knobsInRange.load());
    EXPECT_TRUE(counters.chunksAccepted.load());
    // Every thread made progress: the lock serialises, it does not starve anyone.
    EXPECT_GE(counters.blocks.load(), leastBlocks);
    EXPECT_GT(counters.parameterCalls.load(), 0);
    EXPECT_GT(counters.programCalls.load(), 0);
    EXPECT_GT(counters.chunkCalls.load(), 0);
    EXPECT_GT(counters.lifecycleCalls.load(), 0);
    RecordProperty("blocks", std::to_string(counters.blocks.load()));
    RecordProperty("parameterCalls", std::to_string(counters.parameterCalls.load()));
    RecordProperty("chunkCalls", std::to_string(counters.chunkCalls.load()));

    // Consistent at the end: both chunks are fixed points of a round trip, the knobs read back unchanged.
    for (bool isPreset : {false, true}) {
        std::vector<float> knobs;
        for (VstInt32 i = 0; i < Knob::count; ++i)
            knobs.push_back(fx.knob(i));
        const std::string saved = fx.chunk(isPreset);
        EXPECT_EQ(fx.setChunk(saved, isPreset), 1);
        EXPECT_EQ(fx.chunk(isPreset), saved);
        for (VstInt32 i = 0; i < Knob::count; ++i) {
            EXPECT_EQ(fx.knob(i), knobs[static_cast<std::size_t>(i)]) << "parameter " << i;
            EXPECT_TRUE(knobs[static_cast<std::size_t>(i)] >= 0.0f &&
                        knobs[static_cast<std::size_t>(i)] <= 1.0f);
        }
    }
    // And the plug-in still plays normally.
    Stereo quiet{std::vector<float>(512, 0.25f), std::vector<float>(512, -0.25f)};
    EXPECT_TRUE(allFinite(fx.processReplacing(quiet, 512)));
}
