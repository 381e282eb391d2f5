#include "Common/vst3/Vst3Processor.h"

#include "Common/musicplugin/MusicPlugin.h"
#include "Common/musicplugin/ParamValue.h"

#include <algorithm>
#include <cmath>

using namespace vst3;

Vst3Processor::Vst3Processor(std::unique_ptr<MusicPlugin> plugin, const Vst3ParamTable& table,
                             std::vector<int> inputBuses, std::vector<int> outputBuses)
    : effect(std::move(plugin)), inputBuses(std::move(inputBuses)), outputBuses(std::move(outputBuses)),
      numControls(effect->paramList.numParams()), guard(numControls),
      inputChannels(static_cast<std::size_t>(effect->numAudioInputs + effect->numKeyInputs), nullptr),
      outputChannels(static_cast<std::size_t>(effect->numAudioOutputs), nullptr),
      blockInputs(static_cast<std::size_t>(effect->numAudioInputs), nullptr),
      blockOutputs(outputChannels.size(), nullptr),
      blockKeys(static_cast<std::size_t>(effect->numKeyInputs), nullptr), silence(scratchFrames, 0.0f),
      discard(outputChannels.size() * scratchFrames, 0.0f),
      stateValues(static_cast<std::size_t>(numControls)), stateKnobs(static_cast<std::size_t>(numControls)),
      appliedRateHz(effect->sampleRate.getValue()), requestedRateHz(appliedRateHz),
      postedValues(new std::atomic<double>[static_cast<std::size_t>(numControls)]),
      postedKnobs(new std::atomic<double>[static_cast<std::size_t>(numControls)]),
      published(new std::atomic<double>[static_cast<std::size_t>(numControls)]),
      meterReadings(new std::atomic<double>[static_cast<std::size_t>(effect->numMeters())]),
      editorMeters(*effect)
{
    // Until an editor opens nobody reads the editor's meters.
    effect->editorMetersWanted = false;
    for (int i = 0; i < numControls; ++i)
        published[i].store(paramValue(*effect->paramList.param(i)), std::memory_order_relaxed);
    for (int j = 0; j < effect->numMeters(); ++j) {
        const MusicPlugin::MeterInfo info = effect->meterInfo(j);
        const auto exposed = std::find_if(table.entries().begin(), table.entries().end(),
                                          [j](const Vst3ParamTable::Entry& e) { return e.meter == j; });
        meterEntries.push_back(exposed != table.entries().end() ? &*exposed : nullptr);
        meterMinimum.push_back(info.minValue);
        meterMaximum.push_back(info.maxValue);
        meterReadings[j].store(info.minValue, std::memory_order_relaxed);
    }
}

Vst3Processor::~Vst3Processor() = default;

// --- requests from other threads ---

void Vst3Processor::requestSampleRate(double sampleRateHz) noexcept
{
    requestedRateHz.store(sampleRateHz, std::memory_order_release);
}

void Vst3Processor::requestClear() noexcept
{
    clearRequested.store(true, std::memory_order_release);
}

void Vst3Processor::postState(const std::vector<double>& values,
                              const std::vector<double>& knobPositions) noexcept
{
    // Release stores of the values keep the odd count before them: an audio thread that reads a new value
    // (acquiring it) then sees the count moved and leaves the state for its next block.
    const std::uint32_t sequence = stateSequence.load(std::memory_order_relaxed);
    stateSequence.store(sequence + 1, std::memory_order_relaxed);
    for (int i = 0; i < numControls; ++i) {
        postedValues[i].store(values[static_cast<std::size_t>(i)], std::memory_order_release);
        postedKnobs[i].store(knobPositions[static_cast<std::size_t>(i)], std::memory_order_release);
    }
    stateSequence.store(sequence + 2, std::memory_order_release);
}

double Vst3Processor::publishedValue(int control) const noexcept
{
    return control >= 0 && control < numControls ? published[control].load(std::memory_order_acquire) : 0.0;
}

double Vst3Processor::meterReading(int meter) const noexcept
{
    return meter >= 0 && meter < effect->numMeters() ? meterReadings[meter].load(std::memory_order_relaxed)
                                                     : 0.0;
}

void Vst3Processor::setMeterReading(int meter, double reading) noexcept
{
    if (meter >= 0 && meter < effect->numMeters() && std::isfinite(reading))
        meterReadings[meter].store(reading, std::memory_order_relaxed);
}

// --- the audio thread ---

void Vst3Processor::takeRequests() noexcept
{
    const double rateHz = requestedRateHz.load(std::memory_order_acquire);
    if (rateHz != appliedRateHz) {
        appliedRateHz = rateHz;
        effect->sampleRate.setValue(rateHz);
    }
    if (clearRequested.exchange(false, std::memory_order_acq_rel)) effect->clear();
    takeState();
}

void Vst3Processor::takeState() noexcept
{
    const std::uint32_t sequence = stateSequence.load(std::memory_order_acquire);
    if (sequence == appliedState || sequence % 2 != 0) return;
    for (int i = 0; i < numControls; ++i) {
        stateValues[static_cast<std::size_t>(i)] = postedValues[i].load(std::memory_order_acquire);
        stateKnobs[static_cast<std::size_t>(i)] = postedKnobs[i].load(std::memory_order_acquire);
    }
    if (stateSequence.load(std::memory_order_relaxed) != sequence) return; // torn: the next block takes it
    appliedState = sequence;
    for (int i = 0; i < numControls; ++i) {
        setParamValue(*effect->paramList.param(i), stateValues[static_cast<std::size_t>(i)]);
        guard.arm(i, stateKnobs[static_cast<std::size_t>(i)]);
        publish(i);
    }
}

void Vst3Processor::applyChange(ParamID id, double knobPos) noexcept
{
    // Meters and unknown IDs take no input; NaN changes nothing.
    if (id >= static_cast<ParamID>(numControls) || std::isnan(knobPos)) return;
    const int control = static_cast<int>(id);
    knobPos = std::clamp(knobPos, 0.0, 1.0);
    if (guard.isEcho(control, knobPos)) return;
    guard.disarm(control);
    try {
        // The float the VST 2 build receives for the same knob position: both then hold the same value.
        effect->paramList.vstSetParameter(control, static_cast<float>(knobPos));
    } catch (...) {
        // A listener that throws leaves that parameter as it was; the audio goes on.
    }
    publish(control);
}

void Vst3Processor::publish(int control) noexcept
{
    published[control].store(paramValue(*effect->paramList.param(control)), std::memory_order_release);
}

tresult Vst3Processor::process(ProcessData& data) noexcept
{
    const int frames = data.numSamples;
    if (frames < 0 || (frames > 0 && data.symbolicSampleSize != kSample32)) return kInvalidArgument;
    takeRequests();
    const ProcessContext* context = data.processContext;
    if (context != nullptr && (context->state & ProcessContext::kTempoValid) != 0 &&
        std::isfinite(context->tempo))
        effect->tempo.setValue(context->tempo);
    // A block without frames only carries parameter changes; its buffers need not be valid.
    keyOffered = false;
    const bool complete = frames == 0 || mapChannels(data);
    runBlock(data.inputParameterChanges, frames, complete);
    if (frames > 0) {
        setSilenceFlags(data);
        takeMeters(data.outputParameterChanges, frames);
    }
    return kResultOk;
}

bool Vst3Processor::mapChannels(const ProcessData& data) noexcept
{
    // Channels the host leaves out (a bus it passes no buffers for, a null pointer) read silence and write
    // into scratch buffers: a later bus may be inactive, and a sloppy host must not crash us. The key is
    // another matter: a host may pass its bus's buffers while the bus is off (Ardour does), and a key it
    // leaves out is no key.
    const auto map = [](const std::vector<int>& buses, const AudioBusBuffers* buffers, int numBuffers,
                        auto& channels) {
        std::size_t channel = 0;
        for (std::size_t b = 0; b < buses.size(); ++b) {
            const AudioBusBuffers* bus =
                buffers != nullptr && static_cast<int>(b) < numBuffers ? &buffers[b] : nullptr;
            for (int c = 0; c < buses[b] && channel < channels.size(); ++c, ++channel)
                channels[channel] = bus != nullptr && bus->channelBuffers32 != nullptr && c < bus->numChannels
                                        ? bus->channelBuffers32[c]
                                        : nullptr;
        }
    };
    map(inputBuses, data.inputs, data.numInputs, inputChannels);
    map(outputBuses, data.outputs, data.numOutputs, outputChannels);
    const auto given = [](auto first, auto last) {
        return std::all_of(first, last, [](const void* pointer) { return pointer != nullptr; });
    };
    const auto keys = inputChannels.begin() + static_cast<std::ptrdiff_t>(blockInputs.size());
    keyOffered =
        !blockKeys.empty() && keyActive.load(std::memory_order_acquire) && given(keys, inputChannels.end());
    return given(inputChannels.begin(), keys) && given(outputChannels.begin(), outputChannels.end());
}

void Vst3Processor::runBlock(IParameterChanges* changes, int frames, bool complete) noexcept
{
    const int queues = changes != nullptr ? std::clamp(changes->getParameterCount(), 0, maxQueues) : 0;
    std::fill(cursors.begin(), cursors.begin() + queues, 0);
    // Each pass applies, per queue, the last point at or before `offset` not applied yet, then runs the
    // plug-in up to the next point of any queue; the last pass takes the points at or after the end.
    for (int offset = 0;;) {
        const bool last = offset >= frames;
        int next = frames;
        for (int q = 0; q < queues; ++q) {
            IParamValueQueue* queue = changes->getParameterData(q);
            if (queue == nullptr) continue;
            const std::int32_t points = queue->getPointCount();
            std::int32_t& cursor = cursors[static_cast<std::size_t>(q)];
            bool found = false;
            double value = 0.0;
            for (; cursor < points; ++cursor) {
                std::int32_t pointOffset = 0;
                double pointValue = 0.0;
                if (queue->getPoint(cursor, pointOffset, pointValue) != kResultOk) continue;
                if (!last && pointOffset > offset) {
                    next = std::min(next, pointOffset);
                    break;
                }
                found = true;
                value = pointValue;
            }
            if (found) applyChange(queue->getParameterId(), value);
        }
        if (last) break;
        if (!complete) next = std::min(next, offset + scratchFrames);
        processSegment(offset, next - offset);
        offset = next;
    }
}

void Vst3Processor::processSegment(int offset, int frames) noexcept
{
    for (std::size_t c = 0; c < blockInputs.size(); ++c)
        blockInputs[c] = inputChannels[c] != nullptr ? inputChannels[c] + offset : silence.data();
    for (std::size_t c = 0; c < outputChannels.size(); ++c)
        blockOutputs[c] =
            outputChannels[c] != nullptr ? outputChannels[c] + offset : discard.data() + c * scratchFrames;
    for (std::size_t c = 0; keyOffered && c < blockKeys.size(); ++c)
        blockKeys[c] = inputChannels[blockInputs.size() + c] + offset;
    effect->processWithKey(blockInputs.data(), keyOffered ? blockKeys.data() : nullptr, blockOutputs.data(),
                           frames);
}

void Vst3Processor::setSilenceFlags(ProcessData& data) const noexcept
{
    // Only our own buses and channels: a host's counts beyond them may not match its arrays.
    const int frames = data.numSamples;
    const int buses = std::min(data.numOutputs, static_cast<int>(outputBuses.size()));
    for (int b = 0; data.outputs != nullptr && b < buses; ++b) {
        AudioBusBuffers& bus = data.outputs[b];
        if (bus.channelBuffers32 == nullptr) continue;
        std::uint64_t flags = 0;
        const int channels = std::min({bus.numChannels, outputBuses[static_cast<std::size_t>(b)], 64});
        for (int c = 0; c < channels; ++c) {
            const float* samples = bus.channelBuffers32[c];
            if (samples != nullptr &&
                std::all_of(samples, samples + frames, [](float x) { return x == 0.0f; }))
                flags |= std::uint64_t(1) << c;
        }
        bus.silenceFlags = flags;
    }
}

void Vst3Processor::takeMeters(IParameterChanges* changes, int frames) noexcept
{
    // The meters hosts show every block; those only an editor shows while one is open, at its pace.
    const bool everyMeter = editorMeters.due(*effect, frames);
    for (std::size_t j = 0; j < meterEntries.size(); ++j) {
        const int meter = static_cast<int>(j);
        if (meterEntries[j] == nullptr && !everyMeter) continue;
        const double raw = effect->takeMeterReading(meter);
        editorMeters.offer(meter, raw);
        const double reading =
            std::isnan(raw) ? meterMinimum[j] : std::clamp(raw, meterMinimum[j], meterMaximum[j]);
        meterReadings[meter].store(reading, std::memory_order_relaxed);
        const Vst3ParamTable::Entry* entry = meterEntries[j];
        if (entry == nullptr || changes == nullptr) continue;
        std::int32_t index = 0;
        const ParamID id = entry->id;
        IParamValueQueue* queue = changes->addParameterData(id, index);
        if (queue != nullptr) queue->addPoint(0, Vst3ParamTable::normalizedReading(*entry, reading), index);
    }
}
