// The AEffect record, the trampolines, the defaults not reachable through an opcode and the
// speaker-arrangement helpers.

#include "TestEffects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <stdexcept>

namespace
{
TEST(Effect, RecordAfterConstruction)
{
    DefaultEffect effect(RecordingHost::callback, 4, 3);
    const AEffect& e = *effect.getAeffect();
    EXPECT_EQ(e.magic, 0x56737450);    // 'VstP'
    EXPECT_EQ(e.uniqueID, 0x4E6F4566); // 'NoEf'
    EXPECT_EQ(e.numPrograms, 4);
    EXPECT_EQ(e.numParams, 3);
    EXPECT_EQ(e.numInputs, 1);
    EXPECT_EQ(e.numOutputs, 2);
    EXPECT_EQ(e.flags, 0);
    EXPECT_EQ(e.ioRatio, 1.0f);
    EXPECT_EQ(e.version, 1);
    EXPECT_EQ(e.object, static_cast<AudioEffect*>(&effect));
    EXPECT_EQ(e.user, nullptr);
    EXPECT_EQ(e.resvd1 | e.resvd2 | e.initialDelay | e.realQualities | e.offQualities, 0);
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
    EXPECT_EQ(effect.getProgram(), 0);
    EXPECT_EQ(effect.getEditor(), nullptr);
}

TEST(Effect, FlagSettersTouchOnlyTheirBit)
{
    struct Case
    {
        void (AudioEffectX::*setter)(bool);
        VstInt32 bit;
    };
    const Case cases[] = {
        {&AudioEffect::hasClip, 2},
        {&AudioEffect::hasVu, 4},
        {&AudioEffect::canMono, 8},
        {&AudioEffect::canProcessReplacing, 16},
        {&AudioEffect::programsAreChunks, 32},
        {&AudioEffectX::isSynth, 256},
        {&AudioEffectX::noTail, 512},
        {&AudioEffectX::wantAsyncOperation, 1024},
        {&AudioEffectX::hasExternalBuffer, 2048},
    };
    for (const Case& c : cases) {
        DefaultEffect effect;
        (effect.*c.setter)(true);
        EXPECT_EQ(effect.getAeffect()->flags, c.bit);
        effect.getAeffect()->flags = -1;
        (effect.*c.setter)(false);
        EXPECT_EQ(effect.getAeffect()->flags, ~c.bit);
    }
}

TEST(Effect, PlugCategoryFollowsTheSynthFlag)
{
    DefaultEffect effect;
    EXPECT_EQ(effect.dispatch(effGetPlugCategory), 0);
    effect.isSynth(true);
    EXPECT_EQ(effect.dispatch(effGetPlugCategory), 2);
}

TEST(Effect, DefaultsOutsideTheDispatcher)
{
    DefaultEffect effect;
    EXPECT_EQ(effect.getChannelParameter(1, 2), 0.0f);
    EXPECT_EQ(effect.offlineGetNumPasses(), 0);
    EXPECT_EQ(effect.offlineGetNumMetaPasses(), 0);
    effect.dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    effect.dispatch(effSetBlockSize, 0, 256);
    EXPECT_EQ(effect.getSampleRate(), 96000.0f);
    EXPECT_EQ(effect.getBlockSize(), 256);
    effect.dispatch(effSetBlockSizeAndSampleRate, 0, 32, nullptr, 22050.0f);
    EXPECT_EQ(effect.getBlockSize(), 32);
    EXPECT_EQ(effect.getSampleRate(), 22050.0f);

    VstSpeakerArrangement dummy{};
    VstSpeakerArrangement* in = &dummy;
    VstSpeakerArrangement* out = &dummy;
    EXPECT_EQ(effect.dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
    EXPECT_FALSE(effect.getSpeakerArrangement(nullptr, nullptr));
}

TEST(Trampolines, ForwardToTheEffect)
{
    RecordingHost::reset();
    auto* effect = new RecordingEffect();
    effect->ptr1 = effect;
    float* channels[2] = {};
    effect->ptr2 = channels;
    AEffect* e = effect->getAeffect();

    e->setParameter(e, 2, 0.25f);
    EXPECT_EQ(effect->last, "setParameter(2,0.25)");
    EXPECT_EQ(e->getParameter(e, 1), 0.75f);
    EXPECT_EQ(effect->last, "getParameter(1)");
    e->process(e, channels, channels, 64);
    EXPECT_EQ(effect->last, "process(ptr2,ptr2,64)");
    e->processReplacing(e, channels, channels, 32);
    EXPECT_EQ(effect->last, "processReplacing(ptr2,ptr2,32)");
    EXPECT_EQ(e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(effect->last, "open()");

    const int destroyed = DefaultEffect::destroyed;
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(DefaultEffect::destroyed, destroyed + 1);
    EXPECT_EQ(RecordingHost::log.back(), "close()");
}

TEST(Trampolines, WithoutAnEffectDoNothing)
{
    AEffect empty{};
    float* channels[2] = {};
    for (AEffect* e : {static_cast<AEffect*>(nullptr), &empty}) {
        EXPECT_EQ(dispatchEffectClass(e, effIdentify, 0, 0, nullptr, 0.0f), 0);
        EXPECT_EQ(dispatchEffectClass(e, effClose, 0, 0, nullptr, 0.0f), 0);
        EXPECT_EQ(getParameterClass(e, 0), 0.0f);
        setParameterClass(e, 0, 1.0f);
        processClass(e, channels, channels, 1);
        processClassReplacing(e, channels, channels, 1);
    }
}

// Every entry point throws, half with a standard exception and half with something else.
class ThrowingEffect : public DefaultEffect
{
public:
    static inline int closed = 0;
    [[noreturn]] static void fail(VstInt32 which)
    {
        if (which % 2) throw std::runtime_error("from the plug-in");
        throw which;
    }
    void open() override { fail(0); }
    void close() override { ++closed, fail(1); }
    void setParameter(VstInt32 i, float) override { fail(i); }
    float getParameter(VstInt32 i) override { fail(i); }
    void process(float**, float**, VstInt32 n) override { fail(n); }
    void processReplacing(float**, float**, VstInt32 n) override { fail(n); }
    VstInt32 getProgram() override { fail(2); }
    VstInt32 canDo(char*) override { fail(3); }
};

TEST(Trampolines, NoExceptionLeavesAndCloseStillDeletes)
{
    for (VstInt32 which : {0, 1}) {
        auto* effect = new ThrowingEffect();
        AEffect* e = effect->getAeffect();
        float* channels[2] = {};
        EXPECT_NO_THROW(EXPECT_EQ(e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f), 0));
        EXPECT_NO_THROW(EXPECT_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f), 0));
        EXPECT_NO_THROW(EXPECT_EQ(e->dispatcher(e, effCanDo, 0, 0, nullptr, 0.0f), 0));
        EXPECT_NO_THROW(EXPECT_EQ(e->getParameter(e, which), 0.0f));
        EXPECT_NO_THROW(e->setParameter(e, which, 0.5f));
        EXPECT_NO_THROW(e->process(e, channels, channels, which));
        EXPECT_NO_THROW(e->processReplacing(e, channels, channels, which));

        const int destroyed = DefaultEffect::destroyed;
        const int closed = ThrowingEffect::closed;
        EXPECT_NO_THROW(EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1));
        EXPECT_EQ(ThrowingEffect::closed, closed + 1);
        EXPECT_EQ(DefaultEffect::destroyed, destroyed + 1);
    }
}

// Run under AddressSanitizer: each arrangement is read and written over its whole announced size.
TEST(Arrangements, AllocateCopyMatchAndRelease)
{
    DefaultEffect effect;
    VstSpeakerArrangement* from = nullptr;
    for (VstInt32 channels : {0, 2, 8, 12, 3}) {
        SCOPED_TRACE(channels);
        ASSERT_TRUE(effect.allocateArrangement(&from, channels)); // re-allocation releases the old one
        ASSERT_NE(from, nullptr);
        EXPECT_EQ(from->numChannels, channels);
        EXPECT_EQ(from->type, 0);
        VstSpeakerProperties* speakers = from->speakers;
        for (VstInt32 i = 0; i < channels; ++i) {
            const VstSpeakerProperties zero{};
            EXPECT_EQ(std::memcmp(&speakers[i], &zero, sizeof(zero)), 0) << "not zero-filled";
            speakers[i].azimuth = 0.5f * i;
            speakers[i].elevation = 1.0f;
            speakers[i].radius = 2.0f;
            speakers[i].type = 100 + i;
            std::snprintf(speakers[i].name, sizeof(speakers[i].name), "Speaker %d", i);
            speakers[i].future[27] = 9;
        }
        from->type = 7;

        VstSpeakerArrangement* to = nullptr;
        ASSERT_TRUE(effect.matchArrangement(&to, from));
        EXPECT_EQ(to->numChannels, channels);
        EXPECT_EQ(to->type, 7);
        for (VstInt32 i = 0; i < channels; ++i)
            EXPECT_EQ(std::memcmp(&to->speakers[0] + i, &speakers[i], sizeof(VstSpeakerProperties)), 0);
        // Matching an arrangement with itself keeps it.
        VstSpeakerArrangement* same = to;
        EXPECT_TRUE(effect.matchArrangement(&same, same));
        EXPECT_EQ(same, to);
        EXPECT_TRUE(effect.deallocateArrangement(&to));
        EXPECT_EQ(to, nullptr);
    }
    EXPECT_FALSE(effect.allocateArrangement(&from, -1));
    EXPECT_EQ(from, nullptr); // the old one was released
    EXPECT_TRUE(effect.deallocateArrangement(&from));
    EXPECT_FALSE(effect.deallocateArrangement(nullptr));
    EXPECT_FALSE(effect.allocateArrangement(nullptr, 2));
    EXPECT_FALSE(effect.matchArrangement(&from, nullptr));
}

TEST(Arrangements, CopySpeaker)
{
    DefaultEffect effect;
    VstSpeakerProperties from{}, to{};
    from.azimuth = 1.0f;
    from.elevation = 2.0f;
    from.radius = 3.0f;
    from.reserved = 4.0f;
    from.type = 5;
    from.future[0] = 6;
    std::memset(from.name, 'x', sizeof(from.name)); // no terminator: the copy must stop at the record's end
    EXPECT_TRUE(effect.copySpeaker(&to, &from));
    EXPECT_EQ(std::string(to.name), std::string(sizeof(to.name) - 1, 'x'));
    EXPECT_EQ(to.azimuth + to.elevation + to.radius + to.reserved, 10.0f);
    EXPECT_EQ(to.type, 5);
    EXPECT_EQ(to.future[0], 6);
    EXPECT_TRUE(effect.copySpeaker(&to, &to));
    EXPECT_FALSE(effect.copySpeaker(nullptr, &from));
    EXPECT_FALSE(effect.copySpeaker(&to, nullptr));
}
} // namespace
