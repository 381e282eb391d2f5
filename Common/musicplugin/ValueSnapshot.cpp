#include "Common/musicplugin/ValueSnapshot.h"

namespace
{
// A reader beside a writer that keeps writing retries this often, then takes what it read.
constexpr int maxReadTries = 1000;
} // namespace

ValueSnapshot::ValueSnapshot(int size) : size_(size > 0 ? size : 0), values_(new std::atomic<double>[size_])
{
    for (int i = 0; i < size_; ++i)
        values_[i].store(0.0, std::memory_order_relaxed);
}

// A sequence lock without fences: the release store of each value keeps the odd count before it, so a
// reader that sees a new value (acquiring it) also sees the count moved and knows to read again.
void ValueSnapshot::begin() noexcept
{
    sequence_.store(sequence_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

void ValueSnapshot::end() noexcept
{
    sequence_.store(sequence_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

void ValueSnapshot::write(int index, double value) noexcept
{
    if (index < 0 || index >= size_) return;
    begin();
    values_[index].store(value, std::memory_order_release);
    end();
}

void ValueSnapshot::writeAll(const double* values) noexcept
{
    begin();
    for (int i = 0; i < size_; ++i)
        values_[i].store(values[i], std::memory_order_release);
    end();
}

bool ValueSnapshot::tryRead(double* values) const noexcept
{
    const std::uint32_t before = sequence_.load(std::memory_order_acquire);
    for (int i = 0; i < size_; ++i)
        values[i] = values_[i].load(std::memory_order_acquire);
    return before % 2 == 0 && sequence_.load(std::memory_order_relaxed) == before;
}

void ValueSnapshot::read(double* values) const noexcept
{
    for (int tries = 1; tries < maxReadTries && !tryRead(values); ++tries) {}
}
