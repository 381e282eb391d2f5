#pragma once
// A fixed array of doubles that one thread writes and another reads as a whole, without locks or waiting:
// a sequence count that is odd while the writer is at work tells the reader that what it read may be torn.
// Bridges use one in each direction: the values the audio thread applied, for the main thread, and a
// loaded state's values, for the audio thread.

#include <atomic>
#include <cstdint>
#include <memory>

class ValueSnapshot
{
public:
    // Allocates; every value starts at 0.
    explicit ValueSnapshot(int size);

    // Writer only. Allocate nothing, lock nothing.
    void write(int index, double value) noexcept;
    void writeAll(const double* values) noexcept;

    // Reader: one attempt; false when the writer was at work meanwhile (values then may be torn).
    bool tryRead(double* values) const noexcept;
    // Reader: attempts until one succeeds, at most a bound of times; then keeps the last attempt.
    void read(double* values) const noexcept;
    // Any thread: one value on its own.
    double value(int index) const noexcept { return values_[index].load(std::memory_order_acquire); }

private:
    void begin() noexcept;
    void end() noexcept;

    int size_;
    std::unique_ptr<std::atomic<double>[]> values_;
    std::atomic<std::uint32_t> sequence_{0};
};
