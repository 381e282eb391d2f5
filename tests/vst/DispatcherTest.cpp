// The host's view of the dispatcher: every opcode's answer for an effect that overrides nothing, and the
// way opcode arguments reach the virtual methods.

#include "TestEffects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>

namespace
{
// Opcodes whose default answer is not 0, from the dispatcher tables; 1 is the trampoline's close answer.
const std::map<VstInt32, VstIntPtr> kNonZeroDefaults = {
    {1, 1}, {22, 0x4E764566}, {26, 1}, {28, 1}, {31, 1}, {32, 1}, {43, 1}, {57, 1}, {58, 2300}, {63, -1},
};

TEST(Dispatcher, DefaultEffectAnswersEveryOpcode)
{
    RecordingHost::reset();
    for (void* ptr : {static_cast<void*>(nullptr), static_cast<void*>(new char[512]())}) {
        for (VstInt32 opcode = -5; opcode <= 90; ++opcode) {
            SCOPED_TRACE("opcode " + std::to_string(opcode) + (ptr ? " with buffer" : " with null ptr"));
            const int destroyedBefore = DefaultEffect::destroyed;
            auto* effect = new DefaultEffect();
            const auto expected = kNonZeroDefaults.count(opcode) ? kNonZeroDefaults.at(opcode) : 0;
            EXPECT_EQ(effect->dispatch(opcode, 0, 0, ptr, 0.0f), expected);
            if (opcode != effClose) delete effect;
            EXPECT_EQ(DefaultEffect::destroyed, destroyedBefore + 1);
        }
        delete[] static_cast<char*>(ptr);
    }
    // None of the defaults bothers the host.
    EXPECT_TRUE(RecordingHost::calls.empty());
    DefaultEffect effect;
    EXPECT_EQ(effect.dispatch(effSetTotalSampleToProcess, 0, 12345), 12345);
    EXPECT_EQ(effect.AudioEffect::dispatcher(effCanBeAutomated, 0, 0, nullptr, 0.0f), 0); // base: up to 24
}

TEST(Dispatcher, DefaultTextMethodsLeaveEmptyTextsAndKeepTheProgramName)
{
    DefaultEffect effect;
    for (VstInt32 opcode : {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName}) {
        char text[16] = "stale";
        effect.dispatch(opcode, 1, 0, text);
        EXPECT_STREQ(text, "") << "opcode " << opcode;
    }
    // The name is the host's input: nothing is written into it.
    char name[] = "My program";
    effect.dispatch(effSetProgramName, 0, 0, name);
    EXPECT_STREQ(name, "My program");
}

TEST(Dispatcher, ProgramNumbersOutsideTheProgramCountChangeNothing)
{
    DefaultEffect effect; // 4 programs
    struct Case
    {
        VstIntPtr value;
        VstIntPtr programAfter;
    };
    std::vector<Case> cases = {{3, 3}, {-1, 3}, {4, 3}, {0, 0}, {std::numeric_limits<VstInt32>::min(), 0}};
    if constexpr (sizeof(VstIntPtr) > 4) // would wrap to program 0 or 2 if narrowed before the test
        cases.insert(cases.end(), {{2, 2}, {VstIntPtr(1) << 32, 2}, {(VstIntPtr(1) << 32) + 1, 2}});
    for (const Case& c : cases) {
        effect.dispatch(effSetProgram, 0, c.value);
        EXPECT_EQ(effect.dispatch(effGetProgram), c.programAfter) << "value " << c.value;
    }
}

TEST(Dispatcher, VuIsScaledTo32767AndTruncated)
{
    RecordingEffect effect;
    constexpr float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::pair<float, VstIntPtr>> cases = {
        {1.0f, 32767}, {0.5f, 16383},     {-0.5f, -16383},         {0.0f, 0},
        {NAN, 0},      {inf, 2147483647}, {-inf, -2147483647 - 1}, {1e30f, 2147483647},
    };
    for (auto [vu, expected] : cases) {
        effect.vu = vu;
        EXPECT_EQ(effect.dispatch(effGetVu), expected) << "vu " << vu;
    }
}

TEST(Dispatcher, ArgumentsReachTheMethods)
{
    RecordingEffect effect;
    char buffer1[64] = {}, buffer2[64] = {};
    effect.ptr1 = buffer1;
    effect.ptr2 = buffer2;
    const VstIntPtr ptr2AsValue = reinterpret_cast<VstIntPtr>(buffer2);
    struct Case
    {
        VstInt32 opcode, index;
        VstIntPtr value;
        float opt;
        const char* call;
        VstIntPtr answer;
    };
    const Case cases[] = {
        {effSetProgram, 9, 2, 0.0f, "setProgram(2)", 0},
        {effSetSampleRate, 0, 0, 48000.0f, "setSampleRate(48000)", 0},
        {effSetBlockSize, 0, 512, 0.0f, "setBlockSize(512)", 0},
        {effMainsChanged, 0, 0, 0.0f, "suspend()", 0},
        {effMainsChanged, 0, 2, 0.0f, "resume()", 0},
        {effGetChunk, 0, 0, 0.0f, "getChunk(ptr,0)", 77},
        {effGetChunk, 5, 0, 0.0f, "getChunk(ptr,1)", 77},
        {effSetChunk, 0, 33, 0.0f, "setChunk(ptr,33,0)", 55},
        {effSetChunk, -1, 33, 0.0f, "setChunk(ptr,33,1)", 55},
        {effGetProgramNameIndexed, 3, 7, 0.0f, "getProgramNameIndexed(7,3,ptr)", 1},
        {effConnectInput, 2, 5, 0.0f, "inputConnected(2,1)", 1},
        {effConnectOutput, 2, 0, 0.0f, "outputConnected(2,0)", 1},
        {effOfflineNotify, 1, 6, 0.0f, "offlineNotify(ptr,6,1)", 1},
        {effOfflinePrepare, 0, 4, 0.0f, "offlinePrepare(ptr,4)", 1},
        {effSetSpeakerArrangement, 0, ptr2AsValue, 0.0f, "setSpeakerArrangement(ptr2,ptr)", 1},
        {effGetSpeakerArrangement, 0, ptr2AsValue, 0.0f, "getSpeakerArrangement(ptr2,ptr)", 1},
        {effSetBlockSizeAndSampleRate, 0, 256, 96000.0f, "setBlockSizeAndSampleRate(256,96000)", 1},
        {effSetBypass, 0, 1, 0.0f, "setBypass(1)", 1},
        {effVendorSpecific, 1, 2, 0.5f, "vendorSpecific(1,2,ptr,0.5)", 99},
        {effCanDo, 0, 0, 0.0f, "canDo(ptr)", -1},
        {effSetViewPosition, 10, 20, 0.0f, "setViewPosition(10,20)", 1},
        {effKeysRequired, 0, 0, 0.0f, "", 0},
        {effSetTotalSampleToProcess, 0, 1000, 0.0f, "setTotalSampleToProcess(1000)", 1001},
        {effSetPanLaw, 0, 2, 0.5f, "setPanLaw(2,0.5)", 1},
        {effSetBlockSize, 0, std::numeric_limits<VstInt32>::min(), 0.0f, "setBlockSize(-2147483648)", 0},
    };
    for (const Case& c : cases) {
        effect.last.clear();
        EXPECT_EQ(effect.dispatch(c.opcode, c.index, c.value, buffer1, c.opt), c.answer) << c.call;
        EXPECT_EQ(effect.last, c.call);
    }
    // Values beyond 32 bits are pinned rather than wrapped into small, plausible numbers.
    if constexpr (sizeof(VstIntPtr) > 4) {
        effect.dispatch(effSetBlockSize, 0, (VstIntPtr(1) << 32) + 64);
        EXPECT_EQ(effect.last, "setBlockSize(2147483647)");
        effect.dispatch(effSetChunk, 1, -(VstIntPtr(1) << 40), buffer1);
        EXPECT_EQ(effect.last, "setChunk(ptr,-2147483648,1)");
    }
}

TEST(Dispatcher, EditorOpcodesReachTheAttachedEditor)
{
    const int editorsDestroyed = FakeEditor::destroyed;
    {
        DefaultEffect effect;
        auto* editor = new FakeEditor();
        effect.attachEditor(editor);
        EXPECT_EQ(effect.getEditor(), editor);
        ERect* rect = nullptr;
        EXPECT_EQ(effect.dispatch(effEditGetRect, 0, 0, &rect), 1);
        EXPECT_EQ(effect.dispatch(effEditOpen, 0, 0, &rect), 1);
        EXPECT_EQ(effect.dispatch(effEditClose), 0);
        EXPECT_EQ(effect.dispatch(effEditIdle), 0);
        EXPECT_EQ(effect.dispatch(effSetEditKnobMode, 0, 2), 1);
        EXPECT_EQ(editor->calls,
                  (std::vector<std::string>{"getRect", "open", "close", "idle", "knobMode 2"}));
        editor->answer = false;
        EXPECT_EQ(effect.dispatch(effEditOpen, 0, 0, &rect), 0);

        // Character from index, virtual key from the low byte of value, modifier from the low byte of opt.
        struct Key
        {
            VstInt32 opcode, index;
            VstIntPtr value;
            float opt;
            VstInt32 character;
            int virt, modifier;
        };
        const Key keys[] = {
            {effEditKeyDown, 'a', 0x1234, 3.7f, 'a', 0x34, 3},
            {effEditKeyUp, 'b', 0xFF, 258.0f, 'b', 0xFF, 2},
            {effEditKeyDown, 0, -1, -1.0f, 0, 0xFF, 0xFF},
            {effEditKeyUp, 0, 7, NAN, 0, 7, 0},
            {effEditKeyDown, 0, 7, 1e20f, 0, 7, 0xFF},
        };
        for (const Key& k : keys) {
            effect.dispatch(k.opcode, k.index, k.value, nullptr, k.opt);
            EXPECT_EQ(editor->calls.back(), k.opcode == effEditKeyDown ? "keyDown" : "keyUp");
            EXPECT_EQ(editor->lastKey.character, k.character);
            EXPECT_EQ(editor->lastKey.virt, k.virt);
            EXPECT_EQ(editor->lastKey.modifier, k.modifier) << "opt " << k.opt;
        }
    }
    EXPECT_EQ(FakeEditor::destroyed, editorsDestroyed + 1);
}
} // namespace
