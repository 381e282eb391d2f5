// The host services: which host opcode each wrapper sends with which arguments, how the host's answer
// comes back, and what each answers when there is no host.

#include "TestEffects.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
struct WrapperCase
{
    const char* name;
    std::function<VstIntPtr(DefaultEffect&)> call; // the wrapper's result as an integer
    bool callsHost;
    HostCall expected; // effect is filled in by the test
    VstIntPtr hostAnswer;
    VstIntPtr withHost;
    VstIntPtr withoutHost;
};

char bufferA[8];
void* const P = bufferA;
template <typename T> T* p()
{
    return reinterpret_cast<T*>(bufferA);
}
VstIntPtr asInt(const void* pointer)
{
    return reinterpret_cast<VstIntPtr>(pointer);
}

const std::vector<WrapperCase>& wrapperCases()
{
    using E = DefaultEffect&;
    // clang-format off
    static const std::vector<WrapperCase> cases = {
        {"getMasterVersion", [](E e) { return e.getMasterVersion(); }, true, {nullptr, 1, 0, 0, nullptr, 0}, 2400, 2400, 1},
        {"getMasterVersion 0", [](E e) { return e.getMasterVersion(); }, true, {nullptr, 1, 0, 0, nullptr, 0}, 0, 1, 1},
        {"getCurrentUniqueId", [](E e) { return e.getCurrentUniqueId(); }, true, {nullptr, 2, 0, 0, nullptr, 0}, 7, 7, 0},
        {"masterIdle", [](E e) { return e.masterIdle(), VstIntPtr(0); }, true, {nullptr, 3, 0, 0, nullptr, 0}, 7, 0, 0},
        {"isInputConnected", [](E e) { return VstIntPtr(e.isInputConnected(3)); }, true, {nullptr, 4, 3, 0, nullptr, 0}, 7, 0, 1},
        {"isInputConnected 0", [](E e) { return VstIntPtr(e.isInputConnected(3)); }, true, {nullptr, 4, 3, 0, nullptr, 0}, 0, 1, 1},
        {"isOutputConnected", [](E e) { return VstIntPtr(e.isOutputConnected(5)); }, true, {nullptr, 4, 5, 1, nullptr, 0}, 7, 0, 1},
        {"wantEvents", [](E e) { return e.wantEvents(1), VstIntPtr(0); }, true, {nullptr, 6, 0, 1, nullptr, 0}, 7, 0, 0},
        {"getTimeInfo", [](E e) { return asInt(e.getTimeInfo(1024)); }, true, {nullptr, 7, 0, 1024, nullptr, 0}, asInt(P), asInt(P), 0},
        {"sendVstEventsToHost", [](E e) { return VstIntPtr(e.sendVstEventsToHost(p<VstEvents>())); }, true, {nullptr, 8, 0, 0, P, 0}, 1, 1, 0},
        {"sendVstEventsToHost 7", [](E e) { return VstIntPtr(e.sendVstEventsToHost(p<VstEvents>())); }, true, {nullptr, 8, 0, 0, P, 0}, 7, 0, 0},
        {"tempoAt", [](E e) { return e.tempoAt(480); }, true, {nullptr, 10, 0, 480, nullptr, 0}, 1200000, 1200000, 0},
        {"getNumAutomatableParameters", [](E e) { return e.getNumAutomatableParameters(); }, true, {nullptr, 11, 0, 0, nullptr, 0}, 7, 7, 0},
        {"getParameterQuantization", [](E e) { return e.getParameterQuantization(); }, true, {nullptr, 12, 0, 0, nullptr, 0}, 7, 7, 0},
        {"ioChanged", [](E e) { return VstIntPtr(e.ioChanged()); }, true, {nullptr, 13, 0, 0, nullptr, 0}, 7, 1, 0},
        {"needIdle", [](E e) { return VstIntPtr(e.needIdle()); }, true, {nullptr, 14, 0, 0, nullptr, 0}, 7, 1, 0},
        {"sizeWindow", [](E e) { return VstIntPtr(e.sizeWindow(640, 480)); }, true, {nullptr, 15, 640, 480, nullptr, 0}, 7, 1, 0},
        {"updateSampleRate", [](E e) { return VstIntPtr(e.updateSampleRate()); }, true, {nullptr, 16, 0, 0, nullptr, 0}, 96000, 96000, 44100},
        {"updateSampleRate -1", [](E e) { return VstIntPtr(e.updateSampleRate()); }, true, {nullptr, 16, 0, 0, nullptr, 0}, -1, 44100, 44100},
        {"updateBlockSize", [](E e) { return VstIntPtr(e.updateBlockSize()); }, true, {nullptr, 17, 0, 0, nullptr, 0}, 64, 64, 1024},
        {"updateBlockSize 0", [](E e) { return VstIntPtr(e.updateBlockSize()); }, true, {nullptr, 17, 0, 0, nullptr, 0}, 0, 1024, 1024},
        {"getInputLatency", [](E e) { return e.getInputLatency(); }, true, {nullptr, 18, 0, 0, nullptr, 0}, 7, 7, 0},
        {"getOutputLatency", [](E e) { return e.getOutputLatency(); }, true, {nullptr, 19, 0, 0, nullptr, 0}, 7, 7, 0},
        {"getPreviousPlug", [](E e) { return asInt(e.getPreviousPlug(3)); }, true, {nullptr, 20, 0, 0, nullptr, 0}, asInt(P), asInt(P), 0},
        {"getNextPlug", [](E e) { return asInt(e.getNextPlug(4)); }, true, {nullptr, 21, 0, 0, nullptr, 0}, asInt(P), asInt(P), 0},
        {"willProcessReplacing", [](E e) { return e.willProcessReplacing(); }, true, {nullptr, 22, 0, 0, nullptr, 0}, 7, 7, 0},
        {"getCurrentProcessLevel", [](E e) { return e.getCurrentProcessLevel(); }, true, {nullptr, 23, 0, 0, nullptr, 0}, 7, 7, 0},
        {"getAutomationState", [](E e) { return e.getAutomationState(); }, true, {nullptr, 24, 0, 0, nullptr, 0}, 7, 7, 0},
        {"offlineStart", [](E e) { return VstIntPtr(e.offlineStart(p<VstAudioFile>(), 5, 2)); }, true, {nullptr, 25, 2, 5, P, 0}, 7, 1, 0},
        {"offlineRead", [](E e) { return VstIntPtr(e.offlineRead(p<VstOfflineTask>(), 3, true)); }, true, {nullptr, 26, 1, 3, P, 0}, 7, 1, 0},
        {"offlineWrite", [](E e) { return VstIntPtr(e.offlineWrite(p<VstOfflineTask>(), 3)); }, true, {nullptr, 27, 0, 3, P, 0}, 7, 1, 0},
        {"offlineGetCurrentPass", [](E e) { return VstIntPtr(e.offlineGetCurrentPass()); }, true, {nullptr, 28, 0, 0, nullptr, 0}, 7, 1, 0},
        {"offlineGetCurrentMetaPass", [](E e) { return VstIntPtr(e.offlineGetCurrentMetaPass()); }, true, {nullptr, 29, 0, 0, nullptr, 0}, 7, 1, 0},
        {"setOutputSamplerate", [](E e) { return e.setOutputSamplerate(48000.0f), VstIntPtr(0); }, true, {nullptr, 30, 0, 0, nullptr, 48000.0f}, 7, 0, 0},
        {"getOutputSpeakerArrangement", [](E e) { return asInt(e.getOutputSpeakerArrangement()); }, true, {nullptr, 31, 0, 0, nullptr, 0}, asInt(P), asInt(P), 0},
        {"getHostVendorString", [](E e) { return VstIntPtr(e.getHostVendorString(p<char>())); }, true, {nullptr, 32, 0, 0, P, 0}, 7, 1, 0},
        {"getHostProductString", [](E e) { return VstIntPtr(e.getHostProductString(p<char>())); }, true, {nullptr, 33, 0, 0, P, 0}, 7, 1, 0},
        {"getHostVendorVersion", [](E e) { return e.getHostVendorVersion(); }, true, {nullptr, 34, 0, 0, nullptr, 0}, 7, 7, 0},
        {"hostVendorSpecific", [](E e) { return e.hostVendorSpecific(1, 2, P, 0.5f); }, true, {nullptr, 35, 1, 2, P, 0.5f}, 7, 7, 0},
        {"canHostDo", [](E e) { return VstIntPtr(e.canHostDo(p<char>())); }, true, {nullptr, 37, 0, 0, P, 0}, 7, 1, 0},
        {"getHostLanguage", [](E e) { return e.getHostLanguage(); }, true, {nullptr, 38, 0, 0, nullptr, 0}, 7, 7, 0},
        {"openWindow", [](E e) { return asInt(e.openWindow(p<VstWindow>())); }, true, {nullptr, 39, 0, 0, P, 0}, asInt(P), asInt(P), 0},
        {"closeWindow", [](E e) { return VstIntPtr(e.closeWindow(p<VstWindow>())); }, true, {nullptr, 40, 0, 0, P, 0}, 7, 1, 0},
        {"getDirectory", [](E e) { return asInt(e.getDirectory()); }, true, {nullptr, 41, 0, 0, nullptr, 0}, asInt(P), asInt(P), 0},
        {"updateDisplay", [](E e) { return VstIntPtr(e.updateDisplay()); }, true, {nullptr, 42, 0, 0, nullptr, 0}, 7, 1, 0},
        {"beginEdit", [](E e) { return VstIntPtr(e.beginEdit(5)); }, true, {nullptr, 43, 5, 0, nullptr, 0}, 7, 1, 0},
        {"endEdit", [](E e) { return VstIntPtr(e.endEdit(5)); }, true, {nullptr, 44, 5, 0, nullptr, 0}, 7, 1, 0},
        {"openFileSelector", [](E e) { return VstIntPtr(e.openFileSelector(p<VstFileSelect>())); }, true, {nullptr, 45, 0, 0, P, 0}, 7, 1, 0},
        {"openFileSelector null", [](E e) { return VstIntPtr(e.openFileSelector(nullptr)); }, false, {}, 7, 0, 0},
        {"closeFileSelector", [](E e) { return VstIntPtr(e.closeFileSelector(p<VstFileSelect>())); }, true, {nullptr, 46, 0, 0, P, 0}, 7, 1, 0},
        {"closeFileSelector null", [](E e) { return VstIntPtr(e.closeFileSelector(nullptr)); }, false, {}, 7, 0, 0},
        {"getChunkFile", [](E e) { return VstIntPtr(e.getChunkFile(P)); }, true, {nullptr, 48, 0, 0, P, 0}, 7, 1, 0},
        {"getChunkFile null", [](E e) { return VstIntPtr(e.getChunkFile(nullptr)); }, false, {}, 7, 0, 0},
        {"getInputSpeakerArrangement", [](E e) { return asInt(e.getInputSpeakerArrangement()); }, true, {nullptr, 49, 0, 0, nullptr, 0}, asInt(P), asInt(P), 0},
    };
    // clang-format on
    return cases;
}

TEST(HostWrappers, SendTheirOpcodeAndArgumentsAndConvertTheAnswer)
{
    for (const WrapperCase& c : wrapperCases()) {
        SCOPED_TRACE(c.name);
        RecordingHost::reset(c.hostAnswer);
        DefaultEffect effect;
        EXPECT_EQ(c.call(effect), c.withHost);
        ASSERT_EQ(RecordingHost::calls.size(), c.callsHost ? 1u : 0u);
        if (!c.callsHost) continue;
        const HostCall& call = RecordingHost::calls[0];
        EXPECT_EQ(call.effect, effect.getAeffect());
        EXPECT_EQ(call.opcode, c.expected.opcode);
        EXPECT_EQ(call.index, c.expected.index);
        EXPECT_EQ(call.value, c.expected.value);
        EXPECT_EQ(call.ptr, c.expected.ptr);
        EXPECT_EQ(call.opt, c.expected.opt);
    }
}

TEST(HostWrappers, AnswerWithoutAHost)
{
    for (const WrapperCase& c : wrapperCases()) {
        DefaultEffect effect(nullptr);
        EXPECT_EQ(c.call(effect), c.withoutHost) << c.name;
    }
}

TEST(HostWrappers, UpdatesKeepThePositiveHostAnswer)
{
    RecordingHost::reset(48000);
    DefaultEffect effect;
    effect.updateSampleRate();
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
    if constexpr (sizeof(VstIntPtr) > 4) {
        RecordingHost::reset(VstIntPtr(1) << 33); // pinned, not wrapped to 0
        EXPECT_EQ(effect.updateBlockSize(), 2147483647);
    }
}

TEST(HostWrappers, AutomationSetsTheParameterBeforeTellingTheHost)
{
    RecordingHost::reset();
    RecordingEffect effect;
    effect.setParameterAutomated(2, 0.25f);
    EXPECT_EQ(RecordingHost::log, (std::vector<std::string>{"setParameter(2,0.25)", "host 0"}));
    ASSERT_EQ(RecordingHost::calls.size(), 1u);
    EXPECT_EQ(RecordingHost::calls[0].index, 2);
    EXPECT_EQ(RecordingHost::calls[0].value, 0);
    EXPECT_EQ(RecordingHost::calls[0].opt, 0.25f);

    RecordingHost::reset();
    RecordingEffect alone(nullptr);
    alone.setParameterAutomated(1, 0.5f);
    EXPECT_EQ(RecordingHost::log, (std::vector<std::string>{"setParameter(1,0.5)"}));
}
} // namespace
