#include "Common/vst/AudioEffect.h"

#include "Common/vst/AEffEditor.h"
#include "Common/vst/narrow.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

// Hz2string and ms2string divide by the sample rate; with IEEE floats a zero rate gives an infinity or NaN,
// which float2string shows as a short text, never undefined behaviour.
static_assert(std::numeric_limits<float>::is_iec559, "IEEE floats expected");

namespace
{
AudioEffect* effectOf(AEffect* e)
{
    return e != nullptr ? static_cast<AudioEffect*>(e->object) : nullptr;
}

void copyText(const char* source, char* text)
{
    std::strcpy(text, source);
}

constexpr char kHuge[] = "Huge!";
} // namespace

VstIntPtr VST_CALLBACK dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                           void* ptr, float opt) noexcept
{
    AudioEffect* effect = effectOf(e);
    if (effect == nullptr) return 0;
    if (opcode == effClose) {
        // The host forgets the effect after this call whatever close() does, so the object goes too.
        try {
            effect->dispatcher(opcode, index, value, ptr, opt);
        } catch (...) {}
        try {
            delete effect;
        } catch (...) {}
        return 1;
    }
    try {
        return effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

float VST_CALLBACK getParameterClass(AEffect* e, VstInt32 index) noexcept
{
    AudioEffect* effect = effectOf(e);
    if (effect == nullptr) return 0.0f;
    try {
        return effect->getParameter(index);
    } catch (...) {
        return 0.0f;
    }
}

void VST_CALLBACK setParameterClass(AEffect* e, VstInt32 index, float value) noexcept
{
    AudioEffect* effect = effectOf(e);
    if (effect == nullptr) return;
    try {
        effect->setParameter(index, value);
    } catch (...) {}
}

void VST_CALLBACK processClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) noexcept
{
    AudioEffect* effect = effectOf(e);
    if (effect == nullptr) return;
    try {
        effect->process(inputs, outputs, sampleFrames);
    } catch (...) {}
}

void VST_CALLBACK processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                        VstInt32 sampleFrames) noexcept
{
    AudioEffect* effect = effectOf(e);
    if (effect == nullptr) return;
    try {
        effect->processReplacing(inputs, outputs, sampleFrames);
    } catch (...) {}
}

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : sampleRate(44100.0f), editor(nullptr), audioMaster(audioMaster), numPrograms(numPrograms),
      numParams(numParams), curProgram(0), blockSize(1024), cEffect()
{
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = 0;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.user = nullptr;
    cEffect.uniqueID = vstFourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
}

AudioEffect::~AudioEffect()
{
    delete editor;
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    if (audioMaster != nullptr) callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        // Negative numbers are no program either.
        if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        setProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effGetVu:
        return truncateToInt32(static_cast<double>(getVu()) * 32767.0);
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(narrowToInt32(value));
        return 0;
    case effMainsChanged:
        if (value == 0)
            suspend();
        else
            resume();
        return 0;
    case effEditGetRect:
        return editor != nullptr && editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen:
        return editor != nullptr && editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (editor != nullptr) editor->close();
        return 0;
    case effEditIdle:
        if (editor != nullptr) editor->idle();
        return 0;
    case effIdentify:
        return vstFourCharCode('N', 'v', 'E', 'f');
    case effGetChunk:
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        return setChunk(ptr, narrowToInt32(value), index != 0);
    default:
        return 0;
    }
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

void AudioEffect::setFlag(VstInt32 flag, bool state)
{
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

// No host: version 1, the first published one.
VstIntPtr AudioEffect::getMasterVersion()
{
    if (audioMaster == nullptr) return 1;
    VstIntPtr version = callHost(audioMasterVersion);
    return version != 0 ? version : 1;
}

VstIntPtr AudioEffect::getCurrentUniqueId()
{
    return audioMaster != nullptr ? callHost(audioMasterCurrentId) : 0;
}

void AudioEffect::masterIdle()
{
    if (audioMaster != nullptr) callHost(audioMasterIdle);
}

// The host answers 0 for a connected pin; without a host every pin counts as connected.
bool AudioEffect::isInputConnected(VstInt32 input)
{
    return audioMaster == nullptr || callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output)
{
    return audioMaster == nullptr || callHost(audioMasterPinConnected, output, 1) == 0;
}

void AudioEffect::dB2string(float value, char* text)
{
    if (text == nullptr) return;
    if (value <= 0.0f)
        copyText("-oo", text);
    else
        float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text);
}

void AudioEffect::Hz2string(float samples, char* text)
{
    if (text == nullptr) return;
    if (samples == 0.0f)
        float2string(0.0f, text);
    else
        float2string(getSampleRate() / samples, text);
}

void AudioEffect::ms2string(float samples, char* text)
{
    if (text == nullptr) return;
    float2string(samples * 1000.0f / getSampleRate(), text);
}

// Fills exactly eight positions, sign and point included: the integer digits, the point, then as many
// fraction digits as fit, all truncated rather than rounded.
void AudioEffect::float2string(float value, char* text)
{
    if (text == nullptr) return;
    if (std::isnan(value)) {
        copyText("NaN", text);
        return;
    }
    constexpr int kPositions = 8;
    double v = value;
    int used = 0;
    const bool negative = v < 0.0;
    if (negative) {
        v = -v;
        ++used;
    }
    // The point takes one position, so 7 integer digits fit, 6 behind a sign; writing more would drop the
    // leading digits and show another number. Infinities end here too.
    const double integerPart = std::floor(v);
    if (integerPart >= (negative ? 1e6 : 1e7)) {
        copyText(kHuge, text);
        return;
    }

    char out[kPositions + 1];
    int length = 0;
    if (negative) out[length++] = '-';

    // Digits come out least significant first; reversed into place below.
    char digits[kPositions];
    int numDigits = 0;
    double rest = integerPart;
    digits[numDigits++] = static_cast<char>('0' + static_cast<int>(std::fmod(rest, 10.0)));
    rest *= 0.1;
    used += 2; // the first digit and the point
    while (rest >= 1.0 && used < kPositions) {
        digits[numDigits++] = static_cast<char>('0' + static_cast<int>(std::fmod(rest, 10.0)));
        rest *= 0.1;
        ++used;
    }
    while (numDigits > 0)
        out[length++] = digits[--numDigits];
    out[length++] = '.';

    // Exact powers of ten: no rounding before the digits are taken.
    static constexpr double kPowersOfTen[kPositions] = {1.0, 10.0, 100.0, 1e3, 1e4, 1e5, 1e6, 1e7};
    const int fractionDigits = kPositions - used;
    if (fractionDigits > 0) {
        double mantissa = std::fmod(v, 1.0) * kPowersOfTen[fractionDigits];
        for (int i = 0; i < fractionDigits; ++i) {
            if (mantissa <= 0.0)
                digits[numDigits++] = '0';
            else {
                digits[numDigits++] = static_cast<char>('0' + static_cast<int>(std::fmod(mantissa, 10.0)));
                mantissa *= 0.1;
            }
        }
        while (numDigits > 0)
            out[length++] = digits[--numDigits];
    }
    out[length] = '\0';
    copyText(out, text);
}

void AudioEffect::long2string(VstInt32 value, char* text)
{
    if (text == nullptr) return;
    // Below -9999999 the sign makes nine characters and cutting to eight would show another number.
    if (value > 99999999 || value < -9999999) {
        copyText(kHuge, text);
        return;
    }
    char formatted[16];
    std::snprintf(formatted, sizeof(formatted), "%7" PRId32, value);
    formatted[8] = '\0';
    copyText(formatted, text);
}
