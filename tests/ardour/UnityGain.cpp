// A tiny VST 2 effect used to prove the Ardour scripts themselves: it multiplies both channels by
// 2 x its one parameter, so at the default knob position 0.5 it passes its input through bit for bit, and
// at 0.25 it halves it exactly. It keeps its state as a program chunk ("gain 0.25"), which lets the
// save/restore scripts be checked with a chunk that alone decides the output.
//
// When UNITY_TRACE names a file, every host call is appended to it with (a hash of) the calling thread,
// which documents the host's call order, and so is "first-sound N": the number of frames the host had run
// through the plug-in before the first non-zero input sample. Put in front of another plug-in, it thus
// counts the silent pre-roll that plug-in saw.
//
// Built by run.sh: c++ -std=c++17 -shared -fPIC -I<root> UnityGain.cpp -o UnityGain.so

#include "Common/vst/VstInterface.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace
{
constexpr VstInt32 unityId = vstFourCharCode('z', 'r', 'U', 'G');

struct Unity
{
    AEffect effect{};
    audioMasterCallback host = nullptr;
    std::mutex mutex;
    float knobPos = 0.5f;
    std::string chunk;
    std::atomic<long> processCalls{0};
    std::atomic<long> framesProcessed{0}; // since instantiation
    bool heardSignal = false;             // audio thread only
};

Unity* self(AEffect* e)
{
    return static_cast<Unity*>(e->object);
}

void trace(const char* what, long a = 0, long b = 0, long c = 0, long d = 0)
{
    const char* path = std::getenv("UNITY_TRACE");
    if (path == nullptr || *path == '\0') return;
    static std::mutex traceMutex;
    std::lock_guard<std::mutex> lock(traceMutex);
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%04zx %s %ld %ld %ld %ld\n",
                     std::hash<std::thread::id>()(std::this_thread::get_id()) & 0xffff, what, a, b, c, d);
        std::fclose(f);
    }
}

void copyText(void* ptr, const char* text, std::size_t capacity)
{
    if (ptr == nullptr) return;
    std::strncpy(static_cast<char*>(ptr), text, capacity - 1);
    static_cast<char*>(ptr)[capacity - 1] = '\0';
}

VstIntPtr VST_CALLBACK dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt)
{
    Unity* u = self(e);
    switch (opcode) {
    case effProcessEvents:
    case effEditIdle:
    case effIdle:
        break; // too frequent to be worth tracing
    case effCanDo:
        trace(ptr != nullptr ? (std::string("canDo:") + static_cast<const char*>(ptr)).c_str() : "canDo", 0,
              0);
        break;
    case effMainsChanged:
        trace("dispatch", opcode, index, static_cast<long>(value), u->framesProcessed.load());
        break;
    default:
        trace("dispatch", opcode, index, static_cast<long>(opcode == effSetSampleRate ? opt : value));
    }
    switch (opcode) {
    case effClose:
        delete u;
        return 1;
    case effGetParamName:
        copyText(ptr, index == 0 ? "Gain" : "", 9);
        return 0;
    case effGetParamLabel:
        copyText(ptr, "x", 9);
        return 0;
    case effGetParamDisplay: {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", 2.0 * u->knobPos);
        copyText(ptr, text, 9);
        return 0;
    }
    case effGetProgramName:
        copyText(ptr, "Default", 25);
        return 0;
    case effGetProgramNameIndexed:
        copyText(ptr, "Default", 25);
        return 1;
    case effGetChunk: {
        if (ptr == nullptr) return 0;
        std::lock_guard<std::mutex> lock(u->mutex);
        char text[64];
        std::snprintf(text, sizeof text, "gain %.9g", static_cast<double>(u->knobPos));
        u->chunk = text;
        *static_cast<void**>(ptr) = const_cast<char*>(u->chunk.c_str());
        return static_cast<VstIntPtr>(u->chunk.size() + 1);
    }
    case effSetChunk: {
        if (ptr == nullptr || value <= 0) return 0;
        std::string text(static_cast<const char*>(ptr), static_cast<std::size_t>(value));
        float v = 0.0f;
        if (std::sscanf(text.c_str(), "gain %f", &v) != 1 || !(v >= 0.0f && v <= 1.0f)) return 0;
        std::lock_guard<std::mutex> lock(u->mutex);
        u->knobPos = v;
        return 1;
    }
    case effGetEffectName:
    case effGetProductString:
        copyText(ptr, "UnityGain", 32);
        return 1;
    case effGetVendorString:
        copyText(ptr, "ZaRoruraroze tests", 64);
        return 1;
    case effGetPlugCategory:
        return kPlugCategEffect;
    case effCanBeAutomated:
        return 1;
    case effGetVstVersion:
        return 2400;
    default:
        return 0;
    }
}

void VST_CALLBACK processReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
{
    Unity* u = self(e);
    // Every 500th call only: enough to see which thread processes and when.
    if (u->processCalls++ % 500 == 0) trace("process", frames, static_cast<long>(u->processCalls));
    // How many frames the host ran before the first sound: the length of its pre-roll.
    for (VstInt32 i = 0; i < frames && !u->heardSignal; ++i) {
        if (inputs[0][i] != 0.0f || inputs[1][i] != 0.0f) {
            u->heardSignal = true;
            trace("first-sound", u->framesProcessed.load() + i);
        }
    }
    u->framesProcessed += frames;
    std::lock_guard<std::mutex> lock(u->mutex);
    const float gain = 2.0f * u->knobPos;
    for (int c = 0; c < 2; ++c)
        for (VstInt32 i = 0; i < frames; ++i)
            outputs[c][i] = inputs[c][i] * gain;
}

// Ardour never calls the accumulating entry; it is here for hosts that might.
void VST_CALLBACK processAccumulating(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
{
    std::lock_guard<std::mutex> lock(self(e)->mutex);
    const float gain = 2.0f * self(e)->knobPos;
    for (int c = 0; c < 2; ++c)
        for (VstInt32 i = 0; i < frames; ++i)
            outputs[c][i] += inputs[c][i] * gain;
}

void VST_CALLBACK setParameter(AEffect* e, VstInt32 index, float v)
{
    trace("setParameter", index, static_cast<long>(v * 1e6f));
    if (index != 0 || !(v >= 0.0f && v <= 1.0f)) return;
    std::lock_guard<std::mutex> lock(self(e)->mutex);
    self(e)->knobPos = v;
}

float VST_CALLBACK getParameter(AEffect* e, VstInt32 index)
{
    std::lock_guard<std::mutex> lock(self(e)->mutex);
    return index == 0 ? self(e)->knobPos : 0.0f;
}
} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host)
{
    trace("VSTPluginMain");
    if (host == nullptr || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    Unity* u = new Unity;
    u->host = host;
    AEffect& e = u->effect;
    e.magic = kEffectMagic;
    e.dispatcher = dispatcher;
    e.process = processAccumulating;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.processReplacing = processReplacing;
    e.numPrograms = 1;
    e.numParams = 1;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = effFlagsCanReplacing | effFlagsProgramChunks;
    e.ioRatio = 1.0f;
    e.object = u;
    e.uniqueID = unityId;
    e.version = 1;
    return &e;
}
