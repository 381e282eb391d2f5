#include "Common/musicplugin/MeterFeed.h"

#include "Common/musicplugin/MusicPlugin.h"

#include <algorithm>
#include <limits>

namespace
{
// "No reading since the last take".
constexpr float none = -std::numeric_limits<float>::infinity();
// Audio between two readings: 30 a second, as often as an editor repaints.
constexpr double readingSeconds = 1.0 / 30.0;
} // namespace

MeterFeed::MeterFeed(const MusicPlugin& plugin)
    : numMeters_(std::max(plugin.numMeters(), 0)),
      slots_(new std::atomic<float>[static_cast<std::size_t>(numMeters_)]),
      latest_(new bool[static_cast<std::size_t>(numMeters_)])
{
    for (int i = 0; i < numMeters_; ++i) {
        slots_[i].store(none, std::memory_order_relaxed);
        latest_[i] = plugin.meterInfo(i).latest;
    }
}

void MeterFeed::setWanted(bool wanted)
{
    wanted_.store(wanted, std::memory_order_relaxed);
}

void MeterFeed::publish(MusicPlugin& plugin, int frames) noexcept
{
    if (!due(plugin, frames)) return;
    for (int i = 0; i < numMeters_; ++i)
        offer(i, plugin.takeMeterReading(i));
}

bool MeterFeed::due(MusicPlugin& plugin, int frames) noexcept
{
    const bool wanted = wanted_.load(std::memory_order_relaxed);
    // From the next block on: the levels only an editor reads are tracked while one is open.
    plugin.editorMetersWanted = wanted;
    discarding_ = false;
    if (!wanted) {
        primed_ = false;
        return false;
    }
    framesSinceReading_ += frames;
    if (primed_ && framesSinceReading_ < readingSeconds * plugin.sampleRate.getValue()) return false;
    framesSinceReading_ = 0.0;
    discarding_ = !primed_;
    primed_ = true;
    return true;
}

void MeterFeed::offer(int index, double reading) noexcept
{
    const auto value = static_cast<float>(reading);
    if (discarding_ || index < 0 || index >= numMeters_ || !(value == value) ||
        !wanted_.load(std::memory_order_relaxed))
        return;
    if (latest_[index]) {
        slots_[index].store(value, std::memory_order_relaxed);
        return;
    }
    // An atomic maximum: the GUI thread may take the slot between our load and our store.
    float current = slots_[index].load(std::memory_order_relaxed);
    while (value > current &&
           !slots_[index].compare_exchange_weak(current, value, std::memory_order_relaxed)) {}
}

std::optional<double> MeterFeed::take(int index)
{
    if (index < 0 || index >= numMeters_) return std::nullopt;
    const float reading = slots_[index].exchange(none, std::memory_order_relaxed);
    if (reading == none) return std::nullopt;
    return reading;
}
