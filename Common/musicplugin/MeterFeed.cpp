#include "Common/musicplugin/MeterFeed.h"

#include "Common/musicplugin/MusicPlugin.h"

#include <limits>

namespace
{
// "No reading since the last take".
constexpr float none = -std::numeric_limits<float>::infinity();
} // namespace

MeterFeed::MeterFeed(int numMeters)
    : numMeters_(numMeters > 0 ? numMeters : 0),
      largest_(new std::atomic<float>[static_cast<std::size_t>(numMeters_)])
{
    for (int i = 0; i < numMeters_; ++i)
        largest_[i].store(none, std::memory_order_relaxed);
}

void MeterFeed::setWanted(bool wanted)
{
    wanted_.store(wanted, std::memory_order_relaxed);
}

void MeterFeed::publish(MusicPlugin& plugin) noexcept
{
    if (!startBlock()) return;
    for (int i = 0; i < numMeters_; ++i)
        offer(i, plugin.takeMeterReading(i));
}

bool MeterFeed::startBlock() noexcept
{
    if (!wanted_.load(std::memory_order_relaxed)) {
        primed_ = false;
        return false;
    }
    keeping_ = primed_;
    primed_ = true;
    return true;
}

void MeterFeed::offer(int index, double value) noexcept
{
    const auto reading = static_cast<float>(value);
    if (!keeping_ || index < 0 || index >= numMeters_ || !(reading == reading)) return;
    // An atomic maximum: the GUI thread may take the slot between our load and our store.
    float current = largest_[index].load(std::memory_order_relaxed);
    while (reading > current &&
           !largest_[index].compare_exchange_weak(current, reading, std::memory_order_relaxed)) {}
}

std::optional<double> MeterFeed::take(int index)
{
    if (index < 0 || index >= numMeters_) return std::nullopt;
    const float reading = largest_[index].exchange(none, std::memory_order_relaxed);
    if (reading == none) return std::nullopt;
    return reading;
}
