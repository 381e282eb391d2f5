#include "Common/clap/GestureQueue.h"

#include "Common/Assert.h"

namespace
{
// The ring's counts wrap at 2^32: a power of two of slots keeps their order across the wrap.
std::size_t powerOfTwoAtLeast(int count)
{
    std::size_t size = 2;
    while (size < static_cast<std::size_t>(count) && size < (1u << 20))
        size *= 2;
    return size;
}
} // namespace

GestureQueue::GestureQueue(int capacity, int numParams)
    : slots_(powerOfTwoAtLeast(capacity)), gestures_(static_cast<std::size_t>(numParams > 0 ? numParams : 0))
{}

std::uint32_t GestureQueue::room() const noexcept
{
    const std::uint32_t used =
        written_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire);
    return static_cast<std::uint32_t>(slots_.size()) - used;
}

void GestureQueue::push(const Entry& entry) noexcept
{
    ZR_ASSERT(room() > 0);
    const std::uint32_t at = written_.load(std::memory_order_relaxed);
    slots_[at % slots_.size()] = entry;
    // Release: the reader that sees the count sees the entry.
    written_.store(at + 1, std::memory_order_release);
}

void GestureQueue::keep(Gesture& gesture, double value) noexcept
{
    gesture.last = value;
    gesture.pending = true;
    gesture.pendingUntil = written_.load(std::memory_order_relaxed);
}

void GestureQueue::begin(int index) noexcept
{
    if (!valid(index)) return;
    Gesture& g = gestures_[static_cast<std::size_t>(index)];
    if (g.begun) return;
    g.begun = true;
    g.dropped = false;
    // The begin, its end, and the ends of the gestures already begun.
    g.lost = room() < static_cast<std::uint32_t>(begun_) + 2;
    if (g.lost) return;
    ++begun_;
    push(Entry{Kind::begin, false, index, 0.0});
}

void GestureQueue::value(int index, double value) noexcept
{
    if (!valid(index)) return;
    Gesture& g = gestures_[static_cast<std::size_t>(index)];
    if (g.lost) return;
    // Room for this value beside the ends kept (its own among them).
    if (room() < static_cast<std::uint32_t>(begun_) + 1) {
        g.dropped = g.begun;
        g.last = value;
        return;
    }
    push(Entry{Kind::value, true, index, value});
    g.dropped = false;
    keep(g, value);
}

void GestureQueue::end(int index) noexcept
{
    if (!valid(index)) return;
    Gesture& g = gestures_[static_cast<std::size_t>(index)];
    if (!g.begun) return;
    g.begun = false;
    if (g.lost) {
        g.lost = false;
        return;
    }
    --begun_;
    push(Entry{Kind::end, g.dropped, index, g.last});
    if (g.dropped) keep(g, g.last);
    g.dropped = false;
}

bool GestureQueue::endAll() noexcept
{
    bool ended = false;
    for (std::size_t i = 0; i < gestures_.size(); ++i) {
        ended = ended || gestures_[i].begun;
        end(static_cast<int>(i));
    }
    return ended;
}

std::optional<double> GestureQueue::pending(int index) const noexcept
{
    if (!valid(index)) return std::nullopt;
    const Gesture& g = gestures_[static_cast<std::size_t>(index)];
    // Taken once the reader has passed the entry (counts wrap: compared by their difference).
    const auto ahead = static_cast<std::int32_t>(g.pendingUntil - read_.load(std::memory_order_acquire));
    if (!g.pending || ahead <= 0) return std::nullopt;
    return g.last;
}

bool GestureQueue::peek(Entry& entry) const noexcept
{
    const std::uint32_t at = read_.load(std::memory_order_relaxed);
    if (at == written_.load(std::memory_order_acquire)) return false;
    entry = slots_[at % slots_.size()];
    return true;
}

void GestureQueue::pop() noexcept
{
    const std::uint32_t at = read_.load(std::memory_order_relaxed);
    if (at == written_.load(std::memory_order_acquire)) return;
    // Release: the writer that sees the slot free sees our read of it done.
    read_.store(at + 1, std::memory_order_release);
}
