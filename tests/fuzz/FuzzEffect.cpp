#include "FuzzEffect.h"

#include "Common/musicplugin/MusicPluginVstAdaptor.h"
#include "ZaRorurarozePlugin.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zr::fuzz
{
const VstTimeInfo* hostTimeInfo = nullptr;

namespace
{
VstIntPtr VST_CALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(hostTimeInfo);
    default:
        return 0;
    }
}

AEffect* openEffect()
{
    // What the entry point does after the host answered its version query.
    auto* adaptor = new MusicPluginVstAdaptor(hostCallback, new ZaRorurarozePlugin());
    return adaptor->getAeffect();
}

// A text the plug-in wrote into a host buffer of bufferBytes: it must end inside the buffer.
std::string terminatedText(const char* buffer, std::size_t bufferBytes)
{
    std::size_t length = strnlen(buffer, bufferBytes);
    ZR_FUZZ_CHECK(length < bufferBytes);
    return std::string(buffer, length);
}
} // namespace

bool tracing()
{
    static const bool enabled = std::getenv("ZR_FUZZ_TRACE") != nullptr;
    return enabled;
}

bool ObservedState::operator==(const ObservedState& other) const
{
    // Knob positions compared bit for bit: a round trip must not move a knob by even one ulp.
    return bankChunk == other.bankChunk && programChunk == other.programChunk &&
           programName == other.programName && knobPositions.size() == other.knobPositions.size() &&
           (knobPositions.empty() || std::memcmp(knobPositions.data(), other.knobPositions.data(),
                                                 knobPositions.size() * sizeof(float)) == 0) &&
           displays == other.displays;
}

FuzzEffect::FuzzEffect() : effect_(openEffect()) {}

FuzzEffect::~FuzzEffect()
{
    dispatch(effClose);
}

VstIntPtr FuzzEffect::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    VstIntPtr answer = effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    if (tracing())
        std::fprintf(
            stderr, "dispatcher(opcode %d, index %d, value %" PRIdPTR ", ptr %s, opt %.9g) -> %" PRIdPTR "\n",
            opcode, index, value, ptr != nullptr ? "buffer" : "null", static_cast<double>(opt), answer);
    return answer;
}

void FuzzEffect::reopen()
{
    ZR_FUZZ_CHECK(dispatch(effClose) == 1);
    effect_ = openEffect();
}

std::string FuzzEffect::chunk(bool isPreset)
{
    void* data = nullptr;
    VstIntPtr bytes = dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
    ZR_FUZZ_CHECK(bytes > 0 && data != nullptr);
    const char* text = static_cast<const char*>(data);
    ZR_FUZZ_CHECK(text[bytes - 1] == '\0');
    ZR_FUZZ_CHECK(std::strlen(text) == static_cast<std::size_t>(bytes - 1));
    return std::string(text, static_cast<std::size_t>(bytes - 1));
}

VstIntPtr FuzzEffect::setChunk(const std::string& bytes, bool isPreset)
{
    return setChunk(bytes, isPreset, static_cast<VstIntPtr>(bytes.size()));
}

VstIntPtr FuzzEffect::setChunk(const std::string& bytes, bool isPreset, VstIntPtr byteSize)
{
    // new char[0] is a valid pointer to nothing: any read through it is reported.
    std::unique_ptr<char[]> buffer(new char[bytes.size()]);
    std::memcpy(buffer.get(), bytes.data(), bytes.size());
    VstIntPtr answer = dispatch(effSetChunk, isPreset ? 1 : 0, byteSize, buffer.get());
    ZR_FUZZ_CHECK(answer == 0 || answer == 1);
    return answer;
}

std::string FuzzEffect::paramText(VstInt32 opcode, VstInt32 index)
{
    std::unique_ptr<char[]> buffer(new char[paramTextBytes]);
    std::memset(buffer.get(), 0x55, paramTextBytes);
    dispatch(opcode, index, 0, buffer.get());
    return terminatedText(buffer.get(), paramTextBytes);
}

std::string FuzzEffect::programName()
{
    std::unique_ptr<char[]> buffer(new char[programNameBytes]);
    std::memset(buffer.get(), 0x55, programNameBytes);
    dispatch(effGetProgramName, 0, 0, buffer.get());
    return terminatedText(buffer.get(), programNameBytes);
}

ObservedState FuzzEffect::observe()
{
    ObservedState state;
    state.bankChunk = chunk(false);
    state.programChunk = chunk(true);
    state.programName = programName();
    for (VstInt32 i = 0; i < numParams(); ++i) {
        state.knobPositions.push_back(effect_->getParameter(effect_, i));
        state.displays.push_back(paramText(effGetParamDisplay, i));
    }
    return state;
}

void FuzzEffect::checkParametersInRange()
{
    for (VstInt32 i = 0; i < numParams(); ++i) {
        float knob = effect_->getParameter(effect_, i);
        ZR_FUZZ_CHECK(std::isfinite(knob) && knob >= 0.0f && knob <= 1.0f);
        for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
            paramText(opcode, i);
    }
}

void FuzzEffect::checkChunkRoundTrip()
{
    for (bool isPreset : {false, true}) {
        ObservedState before = observe();
        // As a host stores it: all the bytes it was handed, the terminator included.
        std::string stored = (isPreset ? before.programChunk : before.bankChunk) + '\0';
        ZR_FUZZ_CHECK(setChunk(stored, isPreset) == 1);
        ZR_FUZZ_CHECK(observe() == before);
    }
}
} // namespace zr::fuzz
