#pragma once
// The audio side of a MusicPlugin behind the VST 3 interface. The audio thread owns the live plug-in and
// is never locked out: other threads only leave requests (a sample rate, a clear, a whole state) that it
// takes at the start of its next block, and read what it published (the parameter values it applied and
// the meter readings). Parameter changes in a block are applied at their sample offsets, the block cut
// there; meters hosts show are read once per block and written into the host's output parameter changes,
// all of them for an open editor through a MeterFeed. A plug-in's key channels come after its inputs, in a
// bus of their own that the host switches on and off.

#include "Common/musicplugin/MeterFeed.h"
#include "Common/vst3/Vst3Interfaces.h"
#include "Common/vst3/Vst3ParamTable.h"
#include "Common/vst3/Vst3RestoreGuard.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class MusicPlugin;

class Vst3Processor
{
public:
    // Longest run handed to the plug-in where a host left a channel without a buffer: the scratch buffers
    // that stand in for it are this long, allocated once.
    static constexpr int scratchFrames = 256;
    // Parameter queues read per block: more than any host sends for the parameters there are.
    static constexpr int maxQueues = 64;

    // Takes the live plug-in; its channels come in buses of these sizes, in the host's bus order: the input
    // buses carry its inputs and then its key channels.
    Vst3Processor(std::unique_ptr<MusicPlugin> plugin, const Vst3ParamTable& table,
                  std::vector<int> inputBuses, std::vector<int> outputBuses);
    ~Vst3Processor();
    Vst3Processor(const Vst3Processor&) = delete;
    Vst3Processor& operator=(const Vst3Processor&) = delete;

    // Any thread: taken at the start of the next block.
    void requestSampleRate(double sampleRateHz) noexcept;
    void requestClear() noexcept;
    // Whether the host has switched the key's bus on: only then does the plug-in get the key.
    void setKeyActive(bool active) noexcept { keyActive.store(active, std::memory_order_release); }
    // One caller at a time (the controller's lock): every parameter's value (paramValue) and the knob
    // position it shows, for the audio thread to take whole at the start of a block.
    void postState(const std::vector<double>& values, const std::vector<double>& knobPositions) noexcept;

    // Any thread: what the audio thread applied last, and meter readings in the meter's unit.
    double publishedValue(int control) const noexcept;
    double meterReading(int meter) const noexcept;
    void setMeterReading(int meter, double reading) noexcept;

    // Audio thread.
    vst3::tresult process(vst3::ProcessData& data) noexcept;

    // The meters for an open editor (the GUI thread takes them).
    MeterFeed& meterFeed() { return editorMeters; }

private:
    void takeRequests() noexcept;
    void takeState() noexcept;
    void applyChange(vst3::ParamID id, double knobPos) noexcept;
    void publish(int control) noexcept;
    // The block's channel pointers, null where the host gave none; false when one is missing.
    bool mapChannels(const vst3::ProcessData& data) noexcept;
    void runBlock(vst3::IParameterChanges* changes, int frames, bool complete) noexcept;
    void processSegment(int offset, int frames) noexcept;
    void setSilenceFlags(vst3::ProcessData& data) const noexcept;
    void takeMeters(vst3::IParameterChanges* changes, int frames) noexcept;

    std::unique_ptr<MusicPlugin> effect;
    const std::vector<int> inputBuses;
    const std::vector<int> outputBuses;
    const int numControls;
    // By the plug-in's meter index: its range, and its table entry when hosts see it (else null).
    std::vector<const Vst3ParamTable::Entry*> meterEntries;
    std::vector<double> meterMinimum;
    std::vector<double> meterMaximum;

    // The audio thread's own.
    Vst3RestoreGuard guard;
    std::vector<const float*> inputChannels;
    std::vector<float*> outputChannels;
    std::vector<const float*> blockInputs;
    std::vector<float*> blockOutputs;
    std::vector<const float*> blockKeys;
    // This block's key, when the bus is on and the host gave every channel of it.
    bool keyOffered = false;
    std::vector<float> silence;
    std::vector<float> discard;
    std::array<std::int32_t, maxQueues> cursors{};
    std::vector<double> stateValues;
    std::vector<double> stateKnobs;
    std::uint32_t appliedState = 0;
    double appliedRateHz;

    // Between the threads.
    std::atomic<double> requestedRateHz;
    std::atomic<bool> clearRequested{false};
    std::atomic<bool> keyActive{false};
    // A state being posted makes the sequence odd; the audio thread takes a state only when the sequence
    // is even and the same before and after it read the values.
    std::atomic<std::uint32_t> stateSequence{0};
    std::unique_ptr<std::atomic<double>[]> postedValues;
    std::unique_ptr<std::atomic<double>[]> postedKnobs;
    std::unique_ptr<std::atomic<double>[]> published;
    std::unique_ptr<std::atomic<double>[]> meterReadings;
    MeterFeed editorMeters;
    static_assert(std::atomic<double>::is_always_lock_free, "the audio thread must never wait on a value");
};
