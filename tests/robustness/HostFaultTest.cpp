// Faults of careless hosts that the release build must absorb without a crash and without touching memory
// the host no longer lends it. Calls that break an assertion run only where assertions are compiled out.

#include "Common/musicplugin/MusicPlugin.h"
#include "InProcessHost.h"
#include "MidiEvents.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

using namespace zr::test;

namespace
{
// A pass-through plug-in that counts the MIDI messages it receives.
class MidiCounter : public MusicPlugin
{
public:
    explicit MidiCounter(int* received)
        : MusicPlugin("tsMC", "MidiCounter", "Tests", "", 2, 2, true), received_(received)
    {}
    void clear() noexcept override {}
    void process(const float* const* inputs, float* const* outputs, int sampleFrames) noexcept override
    {
        for (int c = 0; c < 2; ++c)
            std::memmove(outputs[c], inputs[c], sizeof(float) * static_cast<std::size_t>(sampleFrames));
    }
    void processMidi(const unsigned char*) noexcept override { ++*received_; }

private:
    int* received_;
};

void processBlock(InProcessHost& fx, float* left, float* right, VstInt32 frames)
{
    float* inputs[2] = {left, right};
    float* outputs[2] = {left, right};
    fx.effect()->processReplacing(fx.effect(), inputs, outputs, frames);
}
} // namespace

// The events a host hands over belong to the next audio block. When the adaptor ignores that block (a null
// channel), they must go with it: the host reuses or frees them after the call, so delivering them later
// reads memory the plug-in no longer owns.
TEST(HostFaultTest, EventsOfAnIgnoredBlockAreNeverDeliveredLater)
{
    int received = 0;
    InProcessHost fx(new MidiCounter(&received));
    fx.start(44100.0f, 64);
    std::vector<float> left(64), right(64);
    MidiEvents hostEvents({{0, 0x90}}); // a note-on at the start of the block

    fx.dispatch(effProcessEvents, 0, 0, hostEvents.events());
    float* inputs[2] = {left.data(), right.data()};
    float* outputsWithHole[2] = {left.data(), nullptr}; // no assertion covers a single missing channel
    fx.effect()->processReplacing(fx.effect(), inputs, outputsWithHole, 64);
    EXPECT_EQ(received, 0);

    processBlock(fx, left.data(), right.data(), 64);
    EXPECT_EQ(received, 0) << "events of the ignored block were delivered to the next one";
}

// The same with the compressor, which takes no MIDI but still walks the event list: after the host frees
// the events of an ignored block, the next block must not read them. Only AddressSanitizer can see the read.
TEST(HostFaultTest, FreedEventsOfAnIgnoredBlockAreNotReadByTheNextBlock)
{
#if defined(__SANITIZE_ADDRESS__)
    InProcessHost fx;
    fx.start(44100.0f, 64);
    std::vector<float> left(64), right(64);
    auto hostEvents = std::make_unique<MidiEvents>(MidiEvents::Positions{{0, 0x90}});
    fx.dispatch(effProcessEvents, 0, 0, hostEvents->events());
    float* inputs[2] = {left.data(), right.data()};
    float* outputsWithHole[2] = {left.data(), nullptr};
    fx.effect()->processReplacing(fx.effect(), inputs, outputsWithHole, 64);
    hostEvents.reset(); // the host's block is over

    processBlock(fx, left.data(), right.data(), 64);
    EXPECT_TRUE(allFinite(left) && allFinite(right));
#else
    GTEST_SKIP() << "needs AddressSanitizer to see a read of freed memory";
#endif
}

// Some hosts call the audio entries with zero frames (to flush events, or when a track is empty). With
// assertions compiled out the block is ignored; its events must be dropped with it.
TEST(HostFaultTest, EventsOfAZeroFrameBlockAreDroppedWithIt)
{
#if ZR_ASSERTIONS
    GTEST_SKIP() << "breaks the assertion \"sampleFrames>0\"; runs where assertions are compiled out";
#else
    int received = 0;
    InProcessHost fx(new MidiCounter(&received));
    fx.start(44100.0f, 64);
    std::vector<float> left(64), right(64);
    MidiEvents hostEvents({{0, 0x90}});
    fx.dispatch(effProcessEvents, 0, 0, hostEvents.events());
    processBlock(fx, left.data(), right.data(), 0);
    processBlock(fx, left.data(), right.data(), 64);
    EXPECT_EQ(received, 0) << "events of the zero-frame block were delivered to the next one";
#endif
}
