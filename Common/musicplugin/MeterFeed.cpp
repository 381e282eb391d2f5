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
    if (!wanted_.load(std::memory_order_relaxed)) {
        primed_ = false;
        return;
    }
    for (int i = 0; i < numMeters_; ++i) {
        const auto reading = static_cast<float>(plugin.takeMeterReading(i));
        if (!primed_ || !(reading == reading)) continue;
        // An atomic maximum: the GUI thread may take the slot between our load and our store.
        float current = largest_[i].load(std::memory_order_relaxed);
        while (reading > current &&
               !largest_[i].compare_exchange_weak(current, reading, std::memory_order_relaxed)) {}
    }
    primed_ = true;
}

std::optional<double> MeterFeed::take(int index)
{
    if (index < 0 || index >= numMeters_) return std::nullopt;
    const float reading = largest_[index].exchange(none, std::memory_order_relaxed);
    if (reading == none) return std::nullopt;
    return reading;
}
