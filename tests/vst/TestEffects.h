#pragma once
// A host callback that records what the effect asks, and effects that the tests drive through their
// AEffect record only.

#include "Common/vst/AEffEditor.h"
#include "Common/vst/AudioEffectX.h"

#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

struct HostCall
{
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

// One host for all tests; each test resets it. Effect calls and host calls share one log so their order
// can be checked.
struct RecordingHost
{
    static inline std::vector<HostCall> calls;
    static inline std::vector<std::string> log;
    static inline VstIntPtr answer = 0;

    static void reset(VstIntPtr newAnswer = 0)
    {
        calls.clear();
        log.clear();
        answer = newAnswer;
    }
    static VstIntPtr VST_CALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                           void* ptr, float opt)
    {
        calls.push_back({effect, opcode, index, value, ptr, opt});
        log.push_back("host " + std::to_string(opcode));
        return answer;
    }
};

// Nothing overridden but what AudioEffectX leaves pure; counts its destructions.
class DefaultEffect : public AudioEffectX
{
public:
    static inline int destroyed = 0;

    explicit DefaultEffect(audioMasterCallback host = RecordingHost::callback, VstInt32 programs = 4,
                           VstInt32 params = 3)
        : AudioEffectX(host, programs, params)
    {}
    ~DefaultEffect() override { ++destroyed; }
    void process(float**, float**, VstInt32) override {}

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f)
    {
        return cEffect.dispatcher(&cEffect, opcode, index, value, ptr, opt);
    }
    void attachEditor(AEffEditor* newEditor) { editor = newEditor; }
};

// Writes every call it receives as text, e.g. "setChunk(ptr,33,0)".
class RecordingEffect : public DefaultEffect
{
public:
    void* ptr1 = nullptr; // printed as "ptr"
    void* ptr2 = nullptr; // printed as "ptr2"
    std::string last;
    float vu = 0.0f;

    explicit RecordingEffect(audioMasterCallback host = RecordingHost::callback) : DefaultEffect(host) {}

    template <typename... Args> void record(const char* name, Args... args)
    {
        std::string arguments;
        ((arguments += "," + show(args)), ...);
        last = std::string(name) + "(" + (arguments.empty() ? "" : arguments.substr(1)) + ")";
        RecordingHost::log.push_back(last);
    }
    template <typename T> std::string show(T value)
    {
        std::ostringstream out;
        if constexpr (std::is_pointer_v<T>)
            out << (value == nullptr ? "null" : value == ptr1 ? "ptr" : value == ptr2 ? "ptr2" : "other");
        else
            out << value;
        return out.str();
    }

    void setParameter(VstInt32 i, float v) override { record("setParameter", i, v); }
    float getParameter(VstInt32 i) override { return record("getParameter", i), 0.75f; }
    void process(float** in, float** out, VstInt32 n) override { record("process", in, out, n); }
    void processReplacing(float** in, float** out, VstInt32 n) override
    {
        record("processReplacing", in, out, n);
    }
    void open() override { record("open"); }
    void close() override { record("close"); }
    void setProgram(VstInt32 p) override { record("setProgram", p); }
    float getVu() override { return vu; }
    void setSampleRate(float r) override { record("setSampleRate", r); }
    void setBlockSize(VstInt32 n) override { record("setBlockSize", n); }
    void suspend() override { record("suspend"); }
    void resume() override { record("resume"); }
    VstInt32 getChunk(void** d, bool p) override { return record("getChunk", d, p), 77; }
    VstInt32 setChunk(void* d, VstInt32 n, bool p) override { return record("setChunk", d, n, p), 55; }
    bool getProgramNameIndexed(VstInt32 c, VstInt32 i, char* t) override
    {
        return record("getProgramNameIndexed", c, i, t), true;
    }
    void inputConnected(VstInt32 i, bool s) override { record("inputConnected", i, s); }
    void outputConnected(VstInt32 i, bool s) override { record("outputConnected", i, s); }
    bool offlineNotify(VstAudioFile* f, VstInt32 n, bool s) override
    {
        return record("offlineNotify", f, n, s), true;
    }
    bool offlinePrepare(VstOfflineTask* t, VstInt32 n) override
    {
        return record("offlinePrepare", t, n), true;
    }
    bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override
    {
        return record("setSpeakerArrangement", in, out), true;
    }
    void setBlockSizeAndSampleRate(VstInt32 n, float r) override
    {
        record("setBlockSizeAndSampleRate", n, r);
    }
    bool setBypass(bool b) override { return record("setBypass", b), true; }
    VstIntPtr vendorSpecific(VstInt32 a, VstIntPtr b, void* p, float f) override
    {
        return record("vendorSpecific", a, b, p, f), 99;
    }
    VstInt32 canDo(char* t) override { return record("canDo", t), -1; }
    bool setViewPosition(VstInt32 x, VstInt32 y) override { return record("setViewPosition", x, y), true; }
    bool keysRequired() override { return true; }
    bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) override
    {
        return record("getSpeakerArrangement", in, out), true;
    }
    VstInt32 setTotalSampleToProcess(VstInt32 n) override
    {
        return record("setTotalSampleToProcess", n), n + 1;
    }
    bool setPanLaw(VstInt32 t, float v) override { return record("setPanLaw", t, v), true; }
};

class FakeEditor : public AEffEditor
{
public:
    static inline int destroyed = 0;
    std::vector<std::string> calls;
    VstKeyCode lastKey{};
    bool answer = true;

    ~FakeEditor() override { ++destroyed; }
    bool getRect(ERect** rect) override
    {
        return calls.push_back(rect ? "getRect" : "getRect(null)"), answer;
    }
    bool open(void*) override { return calls.push_back("open"), answer; }
    void close() override { calls.push_back("close"); }
    void idle() override { calls.push_back("idle"); }
    bool onKeyDown(VstKeyCode& key) override { return lastKey = key, calls.push_back("keyDown"), answer; }
    bool onKeyUp(VstKeyCode& key) override { return lastKey = key, calls.push_back("keyUp"), answer; }
    bool setKnobMode(VstInt32 mode) override
    {
        return calls.push_back("knobMode " + std::to_string(mode)), answer;
    }
};
