#pragma once
// The plug-in instance the audio thread runs, and the only ways other threads reach it: parameter changes
// through a lock-free queue that the audio thread drains at the top of each block, a sample rate it takes
// at the next block, and the values it applied, which it publishes for the control thread to read. Nothing
// else touches the instance once the audio runs.

#include "ZaRorurarozePlugin.h"
#include "tools/jack/SpscQueue.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace zr::jack
{
class RealtimePlugin
{
public:
    RealtimePlugin();
    RealtimePlugin(const RealtimePlugin&) = delete;
    RealtimePlugin& operator=(const RealtimePlugin&) = delete;

    int numParams() const { return numParams_; }

    // Control thread: queues a change of a parameter (by index, as paramValue gives it). False, changing
    // nothing, when the queue is full or the index out of range.
    bool post(int index, double value) noexcept;
    // Control thread: whether the audio thread has applied every change posted so far; waits for it at
    // most the given time.
    bool waitUntilApplied(std::chrono::milliseconds timeout) const;
    // Any thread: the value the audio thread last applied.
    double publishedValue(int index) const noexcept;

    // Any thread: the rate the audio thread switches to at its next block.
    void requestSampleRate(double sampleRateHz) noexcept;
    double appliedSampleRate() const noexcept { return appliedRateHz_.load(std::memory_order_acquire); }

    // Audio thread: takes pending changes, then processes the signal with its key. Allocates nothing, locks
    // nothing, throws nothing.
    void process(const float* const* inputs, const float* const* keys, float* const* outputs,
                 int frames) noexcept;
    // What process does first; the control thread calls it itself while no audio thread runs yet.
    void applyPending() noexcept;

private:
    struct Change
    {
        int index;
        double value;
    };
    static constexpr std::size_t kQueueCapacity = 1024;
    // Enough for every parameter several times over, and a bound on the work of one block.
    static constexpr int kMostChangesPerBlock = 256;

    ZaRorurarozePlugin plugin_;
    const int numParams_;
    SpscQueue<Change, kQueueCapacity> queue_;
    std::uint64_t posted_ = 0; // the control thread's own count
    std::atomic<std::uint64_t> applied_{0};
    std::unique_ptr<std::atomic<double>[]> published_;
    std::atomic<double> requestedRateHz_;
    std::atomic<double> appliedRateHz_;
    static_assert(std::atomic<double>::is_always_lock_free, "the audio thread must never wait on a value");
};
} // namespace zr::jack
