#include "tools/jack/RealtimePlugin.h"

#include "Common/musicplugin/ParamValue.h"

#include <thread>

namespace zr::jack
{
RealtimePlugin::RealtimePlugin()
    : plugin_(ZaRorurarozePlugin::KeyInput::stereo), numParams_(plugin_.paramList.numParams()),
      published_(new std::atomic<double>[numParams_]), requestedRateHz_(plugin_.sampleRate.getValue()),
      appliedRateHz_(plugin_.sampleRate.getValue())
{
    for (int i = 0; i < numParams_; ++i)
        published_[i].store(paramValue(*plugin_.paramList.param(i)), std::memory_order_relaxed);
}

bool RealtimePlugin::post(int index, double value) noexcept
{
    if (index < 0 || index >= numParams_ || !queue_.push({index, value})) return false;
    ++posted_;
    return true;
}

bool RealtimePlugin::waitUntilApplied(std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (applied_.load(std::memory_order_acquire) < posted_) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

double RealtimePlugin::publishedValue(int index) const noexcept
{
    return index >= 0 && index < numParams_ ? published_[index].load(std::memory_order_relaxed) : 0.0;
}

void RealtimePlugin::requestSampleRate(double sampleRateHz) noexcept
{
    if (sampleRateHz > 0.0) requestedRateHz_.store(sampleRateHz, std::memory_order_release);
}

void RealtimePlugin::applyPending() noexcept
{
    const double rateHz = requestedRateHz_.load(std::memory_order_acquire);
    if (rateHz != appliedRateHz_.load(std::memory_order_relaxed)) {
        plugin_.sampleRate.setValue(rateHz);
        appliedRateHz_.store(rateHz, std::memory_order_release);
    }
    std::uint64_t applied = applied_.load(std::memory_order_relaxed);
    const std::uint64_t before = applied;
    Change change;
    while (applied - before < kMostChangesPerBlock && queue_.pop(change)) {
        Param& param = *plugin_.paramList.param(change.index);
        setParamValue(param, change.value);
        published_[change.index].store(paramValue(param), std::memory_order_relaxed);
        ++applied;
    }
    // Release: whoever sees the new count also sees the values published before it.
    if (applied != before) applied_.store(applied, std::memory_order_release);
}

void RealtimePlugin::process(const float* const* inputs, const float* const* keys, float* const* outputs,
                             int frames) noexcept
{
    applyPending();
    plugin_.processWithKey(inputs, keys, outputs, frames);
}
} // namespace zr::jack
