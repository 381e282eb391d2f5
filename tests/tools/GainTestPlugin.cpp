// A small VST 2 plug-in for testing the host: a gain with a dry/wet mix and a polarity switch, plus three
// parameters that only exist to carry the units the host must handle (Hz, seconds, a plain ratio). Its
// program chunk is the same tab-indented text the real plug-in keeps, with 6 significant digits.
//
// It is strict about the host's part of the contract and aborts on a breach: processing while suspended,
// a host without a valid tempo, a NaN input sample (standing in for a plug-in that crashes).
//
// Variants by definition: GAIN_TEST_NO_CHUNKS keeps no chunk (the host must fall back to parameter
// values); GAIN_TEST_MAIN_ONLY exports only the older entry point name "main".

#include "Common/vst/VstInterface.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
enum Mapping
{
    Sqrt,
    Log,
    Root4,
    Linear,
    Switch
};

struct ParamDefinition
{
    const char* key;
    const char* name;
    const char* label;
    double defaultValue, minValue, maxValue;
    Mapping mapping;
};

// Order is the host's index order; the names longer than 8 characters are cut by the host interface.
const ParamDefinition kParams[] = {
    {"outputGain", "Out Gain", "dB", 1.0, 0.0, 4.0, Sqrt},
    {"frequency", "Frequency", "Hz", 1000.0, 20.0, 20000.0, Log},
    {"time", "Time", "s", 0.2, 0.0, 10.0, Root4},
    {"mix", "Mix", "%", 1.0, 0.0, 1.0, Linear},
    {"invert", "Invert", "", 0.0, 0.0, 1.0, Switch},
    {"ratio", "Ratio", "dB/dB", 4.0, 0.5, 64.0, Log},
};
constexpr int kNumParams = sizeof kParams / sizeof kParams[0];
enum
{
    kGain,
    kFrequency,
    kTime,
    kMix,
    kInvert,
    kRatio
};

double valueOfPosition(const ParamDefinition& p, double pos)
{
    switch (p.mapping) {
    case Sqrt: {
        const double r = std::sqrt(p.minValue) * (1.0 - pos) + std::sqrt(p.maxValue) * pos;
        return std::clamp(r * r, p.minValue, p.maxValue);
    }
    case Log:
        return std::clamp(std::pow(p.minValue, 1.0 - pos) * std::pow(p.maxValue, pos), p.minValue,
                          p.maxValue);
    case Root4: {
        const double r = std::pow(p.minValue, 0.25) * (1.0 - pos) + std::pow(p.maxValue, 0.25) * pos;
        return std::clamp(r * r * r * r, p.minValue, p.maxValue);
    }
    case Linear:
        return (1.0 - pos) * p.minValue + pos * p.maxValue;
    case Switch:
        return pos >= 0.5 ? 1.0 : 0.0;
    }
    return p.defaultValue;
}

double positionOfValue(const ParamDefinition& p, double v)
{
    double pos = 0.0;
    switch (p.mapping) {
    case Sqrt:
        pos = (std::sqrt(v) - std::sqrt(p.minValue)) / (std::sqrt(p.maxValue) - std::sqrt(p.minValue));
        break;
    case Log:
        pos = std::log(v / p.minValue) / std::log(p.maxValue / p.minValue);
        break;
    case Root4:
        pos = (std::pow(v, 0.25) - std::pow(p.minValue, 0.25)) /
              (std::pow(p.maxValue, 0.25) - std::pow(p.minValue, 0.25));
        break;
    case Linear:
    case Switch:
        pos = (v - p.minValue) / (p.maxValue - p.minValue);
        break;
    }
    return std::clamp(pos, 0.0, 1.0);
}

std::string format(const char* pattern, double v)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, v);
    return text;
}

std::string displayOf(const ParamDefinition& p, double v)
{
    switch (p.mapping) {
    case Sqrt:
        return v <= 0.0 ? "-oo" : format("%.1f", 20.0 * std::log10(v));
    case Switch:
        return v >= 0.5 ? "on" : "off";
    default:
        return p.label[0] == '%' ? format("%g", v * 100.0) : format("%g", v);
    }
}

void copyCut(char* dest, const std::string& text, std::size_t limit)
{
    std::strncpy(dest, text.c_str(), limit);
    dest[limit] = '\0';
}

// label\n\tdata, with every data line indented by one more tab.
std::string chunk(const std::string& label, const std::string& data)
{
    std::string out = label + "\n\t";
    for (char c : data)
        out += c == '\n' ? std::string("\n\t") : std::string(1, c);
    return out;
}

std::vector<std::pair<std::string, std::string>> parseChunks(const std::string& text)
{
    std::vector<std::pair<std::string, std::string>> chunks;
    std::size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line[0] == '\t') {
            if (chunks.empty()) continue;
            if (!first) chunks.back().second += '\n';
            chunks.back().second += line.substr(1);
            first = false;
        } else {
            chunks.emplace_back(line, "");
            first = true;
        }
    }
    return chunks;
}

struct GainPlugin
{
    AEffect effect{};
    audioMasterCallback master = nullptr;
    double values[kNumParams];
    std::string programName = "Default";
    std::string chunkText;
    bool resumed = false;

    GainPlugin()
    {
        for (int i = 0; i < kNumParams; ++i)
            values[i] = kParams[i].defaultValue;
    }

    std::string programText() const
    {
        std::vector<std::pair<std::string, std::string>> sorted;
        for (int i = 0; i < kNumParams; ++i)
            sorted.emplace_back(kParams[i].key, kParams[i].mapping == Switch
                                                    ? (values[i] >= 0.5 ? "true" : "false")
                                                    : format("%g", values[i]));
        std::sort(sorted.begin(), sorted.end());
        std::string list;
        for (const auto& [key, value] : sorted)
            list += (list.empty() ? "" : "\n") + chunk(key, value);
        return chunk("Name", programName) + "\n" + chunk("ParameterList", list);
    }

    void loadProgramText(const std::string& text)
    {
        for (int i = 0; i < kNumParams; ++i)
            values[i] = kParams[i].defaultValue;
        for (const auto& [label, data] : parseChunks(text)) {
            if (label == "Name") programName = data;
            if (label != "ParameterList") continue;
            for (const auto& [key, value] : parseChunks(data)) {
                for (int i = 0; i < kNumParams; ++i) {
                    if (key != kParams[i].key) continue;
                    if (kParams[i].mapping == Switch) {
                        values[i] = value == "true" ? 1.0 : 0.0;
                    } else {
                        char* end = nullptr;
                        const double v = std::strtod(value.c_str(), &end);
                        if (end != value.c_str() && std::isfinite(v))
                            values[i] = std::clamp(v, kParams[i].minValue, kParams[i].maxValue);
                    }
                }
            }
        }
    }

    VstIntPtr getChunk(void** data, bool isPreset)
    {
        chunkText = isPreset ? programText() : chunk("presetList", chunk("Preset", programText()));
        *data = chunkText.data();
        return static_cast<VstIntPtr>(chunkText.size() + 1);
    }

    VstIntPtr setChunk(const char* data, bool isPreset)
    {
        const std::string text(data);
        if (isPreset) {
            loadProgramText(text);
            return 1;
        }
        for (const auto& [label, bank] : parseChunks(text)) {
            if (label != "presetList") continue;
            const auto presets = parseChunks(bank);
            if (!presets.empty()) loadProgramText(presets.front().second);
            return 1;
        }
        return 0;
    }

    void process(float** inputs, float** outputs, VstInt32 frames)
    {
        if (!resumed) std::abort();
        const auto* time = reinterpret_cast<const VstTimeInfo*>(
            master(&effect, audioMasterGetTime, 0, kVstTempoValid, nullptr, 0.0f));
        if (time == nullptr || (time->flags & kVstTempoValid) == 0 || !(time->tempo > 0.0)) std::abort();
        const double sign = values[kInvert] >= 0.5 ? -1.0 : 1.0;
        const double g = (1.0 - values[kMix]) + values[kMix] * values[kGain] * sign;
        for (int c = 0; c < 2; ++c)
            for (VstInt32 i = 0; i < frames; ++i) {
                if (std::isnan(inputs[c][i])) std::abort();
                outputs[c][i] = static_cast<float>(inputs[c][i] * g);
            }
    }
};

GainPlugin* self(AEffect* e)
{
    return static_cast<GainPlugin*>(e->object);
}

VstIntPtr VST_CALLBACK dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt)
{
    GainPlugin* p = self(e);
    const bool validIndex = index >= 0 && index < kNumParams;
    switch (opcode) {
    case effClose:
        delete p;
        return 1;
    case effGetProgram:
        return 0;
    case effSetProgramName:
        p->programName = static_cast<const char*>(ptr);
        return 0;
    case effGetProgramName:
        copyCut(static_cast<char*>(ptr), p->programName, 24);
        return 0;
    case effGetParamLabel:
        if (validIndex) copyCut(static_cast<char*>(ptr), kParams[index].label, 8);
        return 0;
    case effGetParamDisplay:
        if (validIndex) copyCut(static_cast<char*>(ptr), displayOf(kParams[index], p->values[index]), 8);
        return 0;
    case effGetParamName:
        if (validIndex) copyCut(static_cast<char*>(ptr), kParams[index].name, 8);
        return 0;
    case effSetSampleRate:
        if (!(opt > 0.0f)) std::abort();
        return 0;
    case effSetBlockSize:
        if (value <= 0) std::abort();
        return 0;
    case effMainsChanged:
        p->resumed = value != 0;
        return 0;
    case effGetChunk:
        return p->getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        return p->setChunk(static_cast<const char*>(ptr), index != 0);
    case effGetEffectName:
        copyCut(static_cast<char*>(ptr), "GainTest", 31);
        return 1;
    case effGetVendorString:
        copyCut(static_cast<char*>(ptr), "ZaRoruraroze tests", 63);
        return 1;
    case effGetVstVersion:
        return 2400;
    default:
        return 0;
    }
}

void VST_CALLBACK setParameter(AEffect* e, VstInt32 index, float value)
{
    if (index >= 0 && index < kNumParams && value >= 0.0f && value <= 1.0f)
        self(e)->values[index] = valueOfPosition(kParams[index], value);
}

float VST_CALLBACK getParameter(AEffect* e, VstInt32 index)
{
    if (index < 0 || index >= kNumParams) return 0.0f;
    return static_cast<float>(positionOfValue(kParams[index], self(e)->values[index]));
}

void VST_CALLBACK processReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
{
    self(e)->process(inputs, outputs, frames);
}

AEffect* createEffect(audioMasterCallback master)
{
    if (master == nullptr || master(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    auto* p = new GainPlugin;
    p->master = master;
    AEffect& e = p->effect;
    e.magic = kEffectMagic;
    e.dispatcher = dispatcher;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.numPrograms = 1;
    e.numParams = kNumParams;
    e.numInputs = 2;
    e.numOutputs = 2;
#ifdef GAIN_TEST_NO_CHUNKS
    e.flags = effFlagsCanReplacing;
    e.uniqueID = vstFourCharCode('z', 'r', 'G', 'N');
#else
    e.flags = effFlagsCanReplacing | effFlagsProgramChunks;
    e.uniqueID = vstFourCharCode('z', 'r', 'G', 'T');
#endif
    e.ioRatio = 1.0f;
    e.object = p;
    e.version = 1;
    e.processReplacing = processReplacing;
    return &e;
}
} // namespace

#ifdef GAIN_TEST_MAIN_ONLY
// "main" cannot be declared as an ordinary function in C++; the assembler name gives the export.
extern "C" __attribute__((visibility("default"))) AEffect*
gainTestMain(audioMasterCallback master) __asm__("main");
extern "C" AEffect* gainTestMain(audioMasterCallback master)
{
    return createEffect(master);
}
#else
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback master)
{
    return createEffect(master);
}
#endif
