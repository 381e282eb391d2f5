// A minimal VST 2 host for checks that must run the same way on every platform: it loads a plug-in binary
// (dlopen or LoadLibrary), checks what it announces, renders a fixed signal through processReplacing with
// parameter and program changes between odd-sized blocks, and writes the raw 32-bit float output to a file,
// so that the outputs of the Linux and Windows builds can be compared bit for bit.
//
// Usage: vst-probe PLUGIN OUTPUT.raw

#include "LoadedPlugin.h"
#include "ZaRorurarozeParam.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

using Knob = ZaRorurarozeParam; // parameter indices

namespace
{
int failures = 0;

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
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

int probe(const char* pluginPath, const char* outputPath)
{
    zr::test::LoadedPlugin plugin(pluginPath);
    plugin.timeInfo.sampleRate = 44100.0;
    plugin.timeInfo.tempo = 120.0;
    plugin.timeInfo.flags = kVstTempoValid;
    plugin.recordsHostCalls = false;
    AEffect* e = plugin.effect();
    check(e->magic == kEffectMagic, "magic is VstP");
    check(e->uniqueID == vstFourCharCode('z', 'l', 'S', 'B'), "unique ID zlSB");
    check(e->numInputs == 2 && e->numOutputs == 2, "2 inputs, 2 outputs");
    check(e->numPrograms == 1 && e->numParams == Knob::count, "1 program, 11 parameters");
    check((e->flags & ~effFlagsHasEditor) == 0x38, "flags can-mono, can-replacing, program chunks");

    char name[64] = {};
    plugin.dispatch(effGetEffectName, 0, 0, name);
    check(std::strcmp(name, "ZaRoruraroze") == 0, "effect name");

    plugin.start(48000.0f, 512);

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
        // Automation between blocks.
        if (block == 10) plugin.setKnob(Knob::threshold, 0.3f);
        if (block == 20) plugin.setKnob(Knob::ratio, 0.4f);
        if (block == 30) plugin.setKnob(Knob::attack, 0.1f);
        if (block == 40) plugin.setKnob(Knob::hilbert, 1.0f);
        if (block == 50) plugin.setKnob(Knob::release, 0.5f);
        float* inputs[2] = {inL.data() + done, inR.data() + done};
        float* outputs[2] = {outL.data() + done, outR.data() + done};
        e->processReplacing(e, inputs, outputs, frames);
        done += frames;
        ++block;
    }

    check(!plugin.chunk(true).empty(), "program chunk");
    plugin.dispatch(effMainsChanged, 0, 0);

    std::FILE* out = std::fopen(outputPath, "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", outputPath);
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
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PLUGIN OUTPUT.raw\n", argv[0]);
        return 2;
    }
    try {
        return probe(argv[1], argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
