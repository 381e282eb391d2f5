// A minimal VST 2 host for checks that must run the same way on every platform: it loads a plug-in binary
// (dlopen or LoadLibrary), checks what it announces, renders a fixed signal through processReplacing with
// parameter and program changes between odd-sized blocks, and writes the raw 32-bit float output to a file,
// so that the outputs of the Linux and Windows builds can be compared bit for bit.
//
// Usage: vst-probe PLUGIN OUTPUT.raw

#include "Common/vst/VstInterface.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace
{
typedef AEffect*(VST_CALLBACK* EntryProc)(audioMasterCallback);

VstTimeInfo timeInfo;

VstIntPtr VST_CALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(&timeInfo);
    default:
        return 0;
    }
}

EntryProc loadEntry(const char* path)
{
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<EntryProc>(reinterpret_cast<void*>(GetProcAddress(module, "main")));
#else
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return nullptr;
    void* entry = dlsym(module, "VSTPluginMain");
    if (entry == nullptr) entry = dlsym(module, "main");
    return reinterpret_cast<EntryProc>(entry);
#endif
}

int failures = 0;

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

VstIntPtr dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f)
{
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

// Deterministic test signal: a seeded generator mixing a decaying tone burst with noise.
struct Signal
{
    std::uint32_t state = 12345;
    float next(int frame, int channel)
    {
        state = state * 1664525u + 1013904223u;
        float noise = static_cast<float>(static_cast<std::int32_t>(state)) * (1.0f / 2147483648.0f);
        float burst = ((frame / 4096) % 2 == 0) ? 0.8f : 0.05f;
        float saw = static_cast<float>((frame * (channel + 3)) % 200) / 100.0f - 1.0f;
        return burst * (0.7f * saw + 0.3f * noise);
    }
};
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PLUGIN OUTPUT.raw\n", argv[0]);
        return 2;
    }
    timeInfo.sampleRate = 44100.0;
    timeInfo.tempo = 120.0;
    timeInfo.flags = kVstTempoValid;

    EntryProc entry = loadEntry(argv[1]);
    if (entry == nullptr) {
        std::fprintf(stderr, "cannot load %s or find its entry point\n", argv[1]);
        return 1;
    }
    AEffect* e = entry(hostCallback);
    if (e == nullptr) {
        std::fprintf(stderr, "the entry point answered null\n");
        return 1;
    }
    check(e->magic == kEffectMagic, "magic is VstP");
    check(e->uniqueID == vstFourCharCode('z', 'l', 'S', 'B'), "unique ID zlSB");
    check(e->numInputs == 2 && e->numOutputs == 2, "2 inputs, 2 outputs");
    check(e->numPrograms == 1 && e->numParams == 11, "1 program, 11 parameters");
    check(e->flags == 0x38, "flags can-mono, can-replacing, program chunks");

    char name[64] = {};
    dispatch(e, effGetEffectName, 0, 0, name);
    check(std::strcmp(name, "ZaRoruraroze") == 0, "effect name");

    dispatch(e, effOpen);
    dispatch(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(e, effSetBlockSize, 0, 512);
    dispatch(e, effMainsChanged, 0, 1);

    const int totalFrames = 48000;
    const int blockFrames[] = {512, 1, 7, 300, 64, 511, 1024, 33};
    std::vector<float> inL(totalFrames), inR(totalFrames), outL(totalFrames), outR(totalFrames);
    Signal signal;
    for (int i = 0; i < totalFrames; ++i) {
        inL[i] = signal.next(i, 0);
        inR[i] = signal.next(i, 1);
    }

    int done = 0;
    int block = 0;
    while (done < totalFrames) {
        int frames = blockFrames[block % 8];
        if (frames > totalFrames - done) frames = totalFrames - done;
        // Automation between blocks: threshold, ratio, attack, Hilbert, release.
        if (block == 10) e->setParameter(e, 7, 0.3f);
        if (block == 20) e->setParameter(e, 8, 0.4f);
        if (block == 30) e->setParameter(e, 4, 0.1f);
        if (block == 40) e->setParameter(e, 6, 1.0f);
        if (block == 50) e->setParameter(e, 5, 0.5f);
        float* inputs[2] = {inL.data() + done, inR.data() + done};
        float* outputs[2] = {outL.data() + done, outR.data() + done};
        e->processReplacing(e, inputs, outputs, frames);
        done += frames;
        ++block;
    }

    void* chunk = nullptr;
    VstIntPtr chunkBytes = dispatch(e, effGetChunk, 1, 0, &chunk);
    check(chunkBytes > 0 && chunk != nullptr, "program chunk");

    dispatch(e, effMainsChanged, 0, 0);
    dispatch(e, effClose);

    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    for (int i = 0; i < totalFrames; ++i) {
        std::fwrite(&outL[i], sizeof(float), 1, out);
        std::fwrite(&outR[i], sizeof(float), 1, out);
    }
    std::fclose(out);
    if (failures > 0) return 1;
    std::printf("probe: %d frames rendered, all checks passed\n", totalFrames);
    return 0;
}
