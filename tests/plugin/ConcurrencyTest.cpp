// One thread processes audio while others automate parameters, switch programs and move chunks in and out:
// every call serialises on the adaptor's lock, the output stays finite and the state stays consistent.
// Runs under ThreadSanitizer in the test command.

#include "Common/musicplugin/MusicPluginVstAdaptor.h"
#include "ZaRorurarozePlugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace
{
VstIntPtr VST_CALLBACK host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

std::string takeChunk(AEffect* e, bool isPreset)
{
    void* data = nullptr;
    VstIntPtr bytes = e->dispatcher(e, effGetChunk, isPreset ? 1 : 0, 0, &data, 0.0f);
    return std::string(static_cast<const char*>(data), static_cast<size_t>(bytes)); // copied under no lock:
    // safe only because this thread is the only one asking for chunks
}
} // namespace

TEST(ConcurrencyTest, AudioThreadWithAutomationProgramsAndChunks)
{
    MusicPluginVstAdaptor* adaptor = new MusicPluginVstAdaptor(host, new ZaRorurarozePlugin());
    AEffect* e = adaptor->getAeffect();
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);

    std::atomic<bool> stop(false);
    std::atomic<bool> finite(true);
    std::atomic<int> blocks(0);
    std::thread audio([&] {
        std::vector<float> inL(256), inR(256), outL(256), outR(256);
        unsigned seed = 1;
        while (!stop.load()) {
            for (size_t i = 0; i < 256; ++i) {
                seed = seed * 1664525u + 1013904223u;
                inL[i] = static_cast<float>(static_cast<int>(seed >> 8) % 2000 - 1000) / 1000.0f;
                inR[i] = -inL[i];
            }
            float* inputs[2] = {inL.data(), inR.data()};
            float* outputs[2] = {outL.data(), outR.data()};
            if (blocks.load() % 2 == 0)
                e->processReplacing(e, inputs, outputs, 256);
            else
                e->process(e, inputs, outputs, 256);
            for (size_t i = 0; i < 256; ++i)
                if (!std::isfinite(outL[i]) || !std::isfinite(outR[i])) finite.store(false);
            blocks.fetch_add(1);
        }
    });
    std::thread automation([&] {
        unsigned step = 0;
        while (!stop.load()) {
            VstInt32 index = static_cast<VstInt32>(step % 11);
            e->setParameter(e, index, static_cast<float>((step * 37) % 101) / 100.0f);
            (void)e->getParameter(e, index);
            char text[16];
            e->dispatcher(e, effGetParamDisplay, index, 0, text, 0.0f);
            ++step;
        }
    });
    std::thread programs([&] {
        unsigned step = 0;
        while (!stop.load()) {
            e->dispatcher(e, effSetProgram, 0, 0, nullptr, 0.0f);
            std::string chunk = takeChunk(e, step % 2 == 0);
            e->dispatcher(e, effSetChunk, step % 2 == 0 ? 1 : 0, static_cast<VstIntPtr>(chunk.size()),
                          &chunk[0], 0.0f);
            if (step % 5 == 0) {
                e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
                e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, step % 10 == 0 ? 48000.0f : 44100.0f);
                e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
            }
            ++step;
        }
    });

    auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(2) || blocks.load() < 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.store(true);
    audio.join();
    automation.join();
    programs.join();

    EXPECT_TRUE(finite.load());
    EXPECT_GE(blocks.load(), 50);
    // Consistent at the end: a chunk round trip is a fixed point.
    std::string bank = takeChunk(e, false);
    EXPECT_EQ(e->dispatcher(e, effSetChunk, 0, static_cast<VstIntPtr>(bank.size()), &bank[0], 0.0f), 1);
    EXPECT_EQ(takeChunk(e, false), bank);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}
