// Arbitrary sequences of host calls on one effect: every dispatcher opcode from -5 to 90 with any index,
// value and float (and, where an opcode takes a buffer or record, one of exactly the host's size),
// parameter calls with any index and any float (NaN and infinities included), sample-rate and block-size
// changes, suspend and resume, time information with any tempo, events with any positions, and both
// processing styles with blocks of any length holding noise, full-scale squares, DC, silence, bursts of
// NaN and infinities, or arbitrary bit patterns. Properties: no crash and no sanitizer report; every
// output sample finite whenever every input sample is finite and within +-1000; every knob position in
// [0, 1]; every text terminated inside its buffer; at the end, chunk round trips are fixed points.

#include "FuzzEffect.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using zr::fuzz::FuzzEffect;

namespace
{
constexpr int maxActions = 96;
// Enough for many blocks, few enough to keep an input well below a second under the sanitizers.
constexpr int maxFramesPerInput = 1 << 14;
constexpr float loudestCheckedSample = 1000.0f;

// Events handed over with opcode 25 stay the host's until the next audio block has been processed.
struct EventList
{
    std::vector<VstEvent> storage;
    std::unique_ptr<char[]> record; // VstEvents with room for every pointer
};

class Session
{
public:
    explicit Session(FuzzedDataProvider& input) : in(input) {}

    void run()
    {
        for (int action = 0; action < maxActions && in.remaining_bytes() > 0; ++action) {
            switch (in.ConsumeIntegralInRange(0, 9)) {
            case 0:
            case 1:
                callDispatcher(in.ConsumeIntegralInRange<VstInt32>(-5, 90));
                break;
            case 2: {
                VstInt32 index = pickIndex();
                float value = pickFloat();
                if (zr::fuzz::tracing())
                    std::fprintf(stderr, "setParameter(%d, %.9g)\n", index, static_cast<double>(value));
                fx.effect()->setParameter(fx.effect(), index, value);
                break;
            }
            case 3:
                checkGetParameter(pickIndex());
                break;
            case 4:
            case 5:
                processBlock();
                break;
            case 6:
                fx.dispatch(effSetSampleRate, 0, 0, nullptr, pickSampleRate());
                break;
            case 7:
                fx.dispatch(effSetBlockSize, 0, pickFrames());
                break;
            case 8:
                fx.dispatch(effMainsChanged, 0, in.ConsumeBool() ? 1 : 0);
                break;
            case 9:
                changeTimeInfo();
                break;
            }
        }
        fx.checkParametersInRange();
        fx.checkChunkRoundTrip();
        zr::fuzz::hostTimeInfo = nullptr;
    }

private:
    VstInt32 pickIndex()
    {
        if (in.ConsumeBool()) return in.ConsumeIntegralInRange<VstInt32>(-2, fx.numParams() + 1);
        return in.ConsumeIntegral<VstInt32>();
    }

    float pickFloat()
    {
        constexpr float special[] = {0.0f,
                                     -0.0f,
                                     1.0f,
                                     0.5f,
                                     -1.0f,
                                     1.0000001f,
                                     -1e-45f,
                                     1e-45f,
                                     std::numeric_limits<float>::max(),
                                     std::numeric_limits<float>::lowest(),
                                     std::numeric_limits<float>::infinity(),
                                     -std::numeric_limits<float>::infinity(),
                                     std::numeric_limits<float>::quiet_NaN()};
        switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0:
            return in.PickValueInArray(special);
        case 1:
            return in.ConsumeFloatingPointInRange(0.0f, 1.0f);
        default: {
            std::uint32_t bits = in.ConsumeIntegral<std::uint32_t>();
            float value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        }
    }

    float pickSampleRate()
    {
        constexpr float rates[] = {8000.0f,   22050.0f,  44100.0f, 48000.0f, 96000.0f,
                                   192000.0f, 768000.0f, 1.0f,     1e-30f,   1e9f};
        return in.ConsumeBool() ? in.PickValueInArray(rates) : pickFloat();
    }

    VstIntPtr pickValue()
    {
        constexpr VstIntPtr special[] = {0,
                                         1,
                                         -1,
                                         2,
                                         std::numeric_limits<VstInt32>::max(),
                                         std::numeric_limits<VstInt32>::min(),
                                         std::numeric_limits<VstIntPtr>::max(),
                                         std::numeric_limits<VstIntPtr>::min()};
        switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0:
            return in.PickValueInArray(special);
        case 1:
            return in.ConsumeIntegralInRange<VstIntPtr>(-5, 300);
        default:
            return in.ConsumeIntegral<VstIntPtr>();
        }
    }

    VstIntPtr pickFrames()
    {
        constexpr VstIntPtr special[] = {0,
                                         -1,
                                         1,
                                         2,
                                         3,
                                         7,
                                         64,
                                         511,
                                         1024,
                                         1 << 16,
                                         (1 << 16) + 1,
                                         1 << 30,
                                         std::numeric_limits<VstIntPtr>::max()};
        return in.ConsumeBool() ? in.PickValueInArray(special)
                                : in.ConsumeIntegralInRange<VstIntPtr>(-8, 4096);
    }

    std::string pickString(std::size_t maxLength)
    {
        constexpr const char* known[] = {"receiveVstTimeInfo",
                                         "receiveVstEvents",
                                         "receiveVstMidiEvent",
                                         "sendVstEvents",
                                         "plugAsChannelInsert",
                                         "bypass",
                                         ""};
        if (in.ConsumeBool()) return in.PickValueInArray(known);
        return in.ConsumeRandomLengthString(maxLength);
    }

    void checkGetParameter(VstInt32 index)
    {
        float knob = fx.effect()->getParameter(fx.effect(), index);
        ZR_FUZZ_CHECK(std::isfinite(knob) && knob >= 0.0f && knob <= 1.0f);
        if (index < 0 || index >= fx.numParams()) ZR_FUZZ_CHECK(knob == 0.0f);
    }

    // A text the plug-in wrote into a host buffer must end inside it.
    static void checkTerminated(const char* buffer, std::size_t bytes)
    {
        ZR_FUZZ_CHECK(strnlen(buffer, bytes) < bytes);
    }

    VstIntPtr dispatchText(VstInt32 opcode, VstInt32 index, VstIntPtr value, std::size_t bytes,
                           bool mustTerminate)
    {
        std::unique_ptr<char[]> text(new char[bytes]);
        std::memset(text.get(), 0x55, bytes);
        VstIntPtr answer = fx.dispatch(opcode, index, value, text.get(), pickFloat());
        if (mustTerminate) checkTerminated(text.get(), bytes);
        return answer;
    }

    VstIntPtr dispatchString(VstInt32 opcode, const std::string& string)
    {
        std::unique_ptr<char[]> text(new char[string.size() + 1]);
        std::memcpy(text.get(), string.c_str(), string.size() + 1);
        return fx.dispatch(opcode, pickIndex(), pickValue(), text.get(), pickFloat());
    }

    template <typename Record> VstIntPtr dispatchRecord(VstInt32 opcode)
    {
        auto record = std::make_unique<Record>();
        std::memset(record.get(), 0, sizeof(Record));
        return fx.dispatch(opcode, pickIndex(), pickValue(), record.get(), pickFloat());
    }

    void callDispatcher(VstInt32 opcode)
    {
        using zr::fuzz::effectNameBytes;
        using zr::fuzz::paramTextBytes;
        using zr::fuzz::programNameBytes;
        using zr::fuzz::vendorTextBytes;
        VstIntPtr answer = 0;
        switch (opcode) {
        case effClose:
            fx.reopen();
            // The host frees what it handed to the effect it closed.
            pendingEvents.clear();
            return;
        case effSetProgramName:
            dispatchString(opcode, in.ConsumeRandomLengthString(300));
            return;
        case effGetProgramName:
            dispatchText(opcode, pickIndex(), pickValue(), programNameBytes, true);
            return;
        case effGetProgramNameIndexed:
            answer = dispatchText(opcode, pickIndex(), pickValue(), programNameBytes, true);
            ZR_FUZZ_CHECK(answer == 0 || answer == 1);
            return;
        case effGetParamLabel:
        case effGetParamDisplay:
        case effGetParamName:
            dispatchText(opcode, pickIndex(), pickValue(), paramTextBytes, true);
            return;
        case effEditGetRect: {
            ERect* rect = nullptr;
            ZR_FUZZ_CHECK(fx.dispatch(opcode, pickIndex(), pickValue(), &rect, pickFloat()) == 0);
            return;
        }
        case effGetChunk:
            takeChunk();
            return;
        case effSetChunk:
            restoreChunk();
            return;
        case effProcessEvents:
            handOverEvents();
            return;
        case effGetInputProperties:
        case effGetOutputProperties:
            dispatchRecord<VstPinProperties>(opcode);
            return;
        case effGetParameterProperties:
            dispatchRecord<VstParameterProperties>(opcode);
            return;
        case effSetSpeakerArrangement: {
            auto input = std::make_unique<VstSpeakerArrangement>();
            auto output = std::make_unique<VstSpeakerArrangement>();
            std::memset(input.get(), 0, sizeof(VstSpeakerArrangement));
            std::memset(output.get(), 0, sizeof(VstSpeakerArrangement));
            input->numChannels = output->numChannels = 2;
            fx.dispatch(opcode, pickIndex(), reinterpret_cast<VstIntPtr>(input.get()), output.get(),
                        pickFloat());
            return;
        }
        case effGetSpeakerArrangement: {
            VstSpeakerArrangement* input = nullptr;
            VstSpeakerArrangement* output = nullptr;
            fx.dispatch(opcode, pickIndex(), reinterpret_cast<VstIntPtr>(&input), &output, pickFloat());
            return;
        }
        case effSetBlockSizeAndSampleRate:
            fx.dispatch(opcode, 0, pickFrames(), nullptr, pickSampleRate());
            return;
        case effSetBlockSize:
            fx.dispatch(opcode, pickIndex(), pickFrames(), nullptr, pickFloat());
            return;
        case effSetSampleRate:
            fx.dispatch(opcode, pickIndex(), pickValue(), nullptr, pickSampleRate());
            return;
        case effGetEffectName:
            dispatchText(opcode, pickIndex(), pickValue(), effectNameBytes, true);
            return;
        case effGetVendorString:
        case effGetProductString:
            dispatchText(opcode, pickIndex(), pickValue(), vendorTextBytes, true);
            return;
        case effGetErrorText:
        case effShellGetNextPlugin:
            dispatchText(opcode, pickIndex(), pickValue(), 256, false);
            return;
        case effCanDo:
            answer = dispatchString(opcode, pickString(64));
            ZR_FUZZ_CHECK(answer == 0 || answer == 1);
            return;
        case effString2Parameter:
            dispatchString(opcode, in.ConsumeRandomLengthString(64));
            return;
        default: {
            // Opcodes without a buffer of their own, and those whose records the base only passes on, get
            // a zeroed scratch record; unknown and reserved opcodes included.
            std::unique_ptr<char[]> scratch(new char[1024]());
            fx.dispatch(opcode, pickIndex(), pickValue(), in.ConsumeBool() ? scratch.get() : nullptr,
                        pickFloat());
            return;
        }
        }
    }

    void takeChunk()
    {
        void* data = nullptr;
        VstIntPtr bytes = fx.dispatch(effGetChunk, in.ConsumeBool() ? 1 : 0, pickValue(), &data, pickFloat());
        if (bytes <= 0) return;
        ZR_FUZZ_CHECK(data != nullptr);
        const char* text = static_cast<const char*>(data);
        ZR_FUZZ_CHECK(text[bytes - 1] == '\0');
        takenChunks.emplace_back(text, static_cast<std::size_t>(bytes));
    }

    void restoreChunk()
    {
        std::string bytes;
        if (!takenChunks.empty() && in.ConsumeBool()) {
            bytes = takenChunks[in.ConsumeIntegralInRange<std::size_t>(0, takenChunks.size() - 1)];
            // Sometimes damaged: cut short, its terminator lost.
            if (in.ConsumeBool()) bytes.resize(in.ConsumeIntegralInRange<std::size_t>(0, bytes.size()));
        } else {
            bytes = in.ConsumeRandomLengthString(512);
        }
        std::unique_ptr<char[]> buffer(new char[bytes.size()]);
        std::memcpy(buffer.get(), bytes.data(), bytes.size());
        VstIntPtr byteSize =
            in.ConsumeBool() ? static_cast<VstIntPtr>(bytes.size()) : -in.ConsumeIntegral<std::uint8_t>();
        VstIntPtr answer =
            fx.dispatch(effSetChunk, in.ConsumeIntegral<VstInt32>(), byteSize, buffer.get(), pickFloat());
        ZR_FUZZ_CHECK(answer == 0 || answer == 1);
    }

    void handOverEvents()
    {
        auto list = std::make_unique<EventList>();
        int count = in.ConsumeIntegralInRange(0, 8);
        list->storage.resize(static_cast<std::size_t>(count));
        list->record.reset(
            new char[sizeof(VstEvents) + sizeof(VstEvent*) * static_cast<std::size_t>(count)]());
        auto* events = reinterpret_cast<VstEvents*>(list->record.get());
        events->numEvents = in.ConsumeBool() ? count : in.ConsumeIntegralInRange(-2, count);
        // The record declares two slots but really has count of them.
        VstEvent** slots = events->events;
        for (int i = 0; i < count; ++i) {
            VstEvent& event = list->storage[static_cast<std::size_t>(i)];
            std::memset(&event, 0, sizeof event);
            event.type = in.ConsumeBool() ? kVstMidiType : in.ConsumeIntegral<VstInt32>();
            event.byteSize = sizeof(VstEvent);
            event.deltaFrames = in.ConsumeBool() ? in.ConsumeIntegralInRange<VstInt32>(-4, 4100)
                                                 : in.ConsumeIntegral<VstInt32>();
            for (char& byte : event.data)
                byte = static_cast<char>(in.ConsumeIntegral<std::uint8_t>());
            // A careless host may leave a slot empty.
            slots[i] = in.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : &event;
        }
        ZR_FUZZ_CHECK(fx.dispatch(effProcessEvents, pickIndex(), pickValue(), events, pickFloat()) == 1);
        pendingEvents.push_back(std::move(list));
    }

    void changeTimeInfo()
    {
        if (in.ConsumeIntegralInRange(0, 3) == 0) {
            zr::fuzz::hostTimeInfo = nullptr;
            return;
        }
        std::memset(&timeInfo, 0, sizeof timeInfo);
        timeInfo.sampleRate = 44100.0;
        timeInfo.tempo = in.ConsumeBool() ? 120.0 : static_cast<double>(pickFloat());
        timeInfo.flags = in.ConsumeBool() ? kVstTempoValid : in.ConsumeIntegral<VstInt32>();
        if (zr::fuzz::tracing())
            std::fprintf(stderr, "time info: tempo %.9g, flags %#x\n", timeInfo.tempo,
                         static_cast<unsigned>(timeInfo.flags));
        zr::fuzz::hostTimeInfo = &timeInfo;
    }

    // Fills a channel from a seed, in one of several kinds of material; reports whether every sample is
    // finite and within the range where the output must stay finite.
    bool fillChannel(float* samples, int frames, int kind, std::uint32_t seed)
    {
        bool checked = true;
        float dc = (static_cast<float>(seed % 2001) - 1000.0f);
        for (int i = 0; i < frames; ++i) {
            seed = seed * 1664525u + 1013904223u;
            float value;
            switch (kind) {
            case 0: // full-scale noise
                value = static_cast<float>(static_cast<std::int32_t>(seed)) * (1.0f / 2147483648.0f);
                break;
            case 1: // noise up to the largest checked magnitude
                value = static_cast<float>(static_cast<std::int32_t>(seed)) *
                        (loudestCheckedSample / 2147483648.0f);
                break;
            case 2: // square wave at the largest checked magnitude, half-periods of 2 to 65 samples
                value = ((i / (2 + static_cast<int>(dc < 0 ? -dc : dc) % 64)) % 2 == 0)
                            ? loudestCheckedSample
                            : -loudestCheckedSample;
                break;
            case 3:
                value = dc;
                break;
            case 4:
                value = 0.0f;
                break;
            case 5: // a signal with bursts of NaN and infinities
                value = (seed >> 28) == 0 ? ((seed >> 26) & 1 ? std::numeric_limits<float>::quiet_NaN()
                                                              : std::numeric_limits<float>::infinity())
                                          : 0.5f;
                break;
            default: // any bit pattern: huge, tiny, subnormal, NaN, infinite
                std::memcpy(&value, &seed, sizeof value);
                break;
            }
            samples[i] = value;
            checked = checked && std::isfinite(value) && std::fabs(value) <= loudestCheckedSample;
        }
        return checked;
    }

    void processBlock()
    {
        // Any count the host might pass, within what is left of this input's budget of frames.
        const VstIntPtr picked = pickFrames();
        const int frames = picked > framesLeft ? framesLeft : picked < -8 ? -8 : static_cast<int>(picked);
        framesLeft -= frames > 0 ? frames : 0;
        const bool replacing = in.ConsumeBool();
        const bool inPlace = in.ConsumeBool();
        const int kind = in.ConsumeIntegralInRange(0, 6);
        const std::uint32_t seed = in.ConsumeIntegral<std::uint32_t>();
        const int nullMode = in.ConsumeIntegralInRange(0, 31); // 1 to 3: a missing array or channel

        // Exactly frames samples per channel: touching one more is reported.
        std::size_t length = frames > 0 ? static_cast<std::size_t>(frames) : 0;
        std::unique_ptr<float[]> channels[4];
        for (auto& channel : channels)
            channel.reset(new float[length]);
        bool checked = fillChannel(channels[0].get(), frames, kind, seed);
        checked = fillChannel(channels[1].get(), frames, kind, seed ^ 0x9E3779B9u) && checked;
        float* inputs[2] = {channels[0].get(), channels[1].get()};
        float* outputs[2] = {inPlace ? inputs[0] : channels[2].get(),
                             inPlace ? inputs[1] : channels[3].get()};
        if (!inPlace)
            for (int c = 0; c < 2; ++c)
                fillChannel(outputs[c], frames, replacing ? 5 : 1, seed + 1u + static_cast<std::uint32_t>(c));
        // Accumulating adds to what is there: that must be finite too for the check to apply.
        if (!replacing && !inPlace)
            for (int c = 0; c < 2; ++c)
                for (std::size_t i = 0; i < length; ++i)
                    outputs[c][i] *= 1e-3f;

        float** inputArray = inputs;
        float** outputArray = outputs;
        float* missing[2] = {channels[0].get(), nullptr};
        if (nullMode == 1)
            inputArray = nullptr;
        else if (nullMode == 2)
            outputArray = missing;
        else if (nullMode == 3)
            inputArray = missing;

        AEffect* e = fx.effect();
        if (zr::fuzz::tracing())
            std::fprintf(stderr, "%s(%d frames, %s, signal kind %d, seed %u, missing array or channel %d)\n",
                         replacing ? "processReplacing" : "process", frames,
                         inPlace ? "in place" : "separate", kind, seed, nullMode);
        if (replacing)
            e->processReplacing(e, inputArray, outputArray, frames);
        else
            e->process(e, inputArray, outputArray, frames);
        // The block is over: the host may now reuse or free the events it handed over.
        pendingEvents.clear();

        if (checked && nullMode == 0 && frames > 0)
            for (int c = 0; c < 2; ++c)
                for (std::size_t i = 0; i < length; ++i)
                    ZR_FUZZ_CHECK(std::isfinite(outputs[c][i]));
    }

    FuzzedDataProvider& in;
    FuzzEffect fx;
    std::vector<std::unique_ptr<EventList>> pendingEvents;
    std::vector<std::string> takenChunks;
    VstTimeInfo timeInfo{};
    int framesLeft = maxFramesPerInput;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    Session session(input);
    session.run();
    return 0;
}
