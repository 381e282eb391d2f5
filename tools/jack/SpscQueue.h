#pragma once
// A fixed-capacity queue between exactly one producer thread and one consumer thread, without locks:
// each side owns one index and only reads the other's. Neither side ever allocates or waits, so the
// consumer may be an audio thread.

#include <array>
#include <atomic>
#include <cstddef>

namespace zr::jack
{
template <typename T, std::size_t Capacity> class SpscQueue
{
    static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0, "a power of two, so indices wrap");

public:
    // Producer: false, changing nothing, when the queue is full.
    bool push(const T& item) noexcept
    {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
        items_[tail & (Capacity - 1)] = item;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer: false when the queue is empty.
    bool pop(T& item) noexcept
    {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return false;
        item = items_[head & (Capacity - 1)];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

private:
    std::array<T, Capacity> items_{};
    // Counts of items ever popped and pushed; on their own cache lines so the two threads do not share one.
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};
} // namespace zr::jack
