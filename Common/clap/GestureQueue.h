#pragma once
// An editor's gestures on their way from the main thread to the owner of the live plug-in (the audio thread
// while it is active, else the main thread): a fixed ring of begin, value and end entries in plain values,
// with one writer and one reader, no lock and no allocation after set-up. The reader changes threads only
// across activate and deactivate, which the host orders with everything before them.
//
// A full ring never loses a begin or an end, so a host never keeps a knob grabbed: room is kept for the end
// of every gesture begun, a value finds room only beside that, and an end whose gesture lost values carries
// the last of them. A gesture that finds no room for its begin and end is dropped as a whole.

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

class GestureQueue
{
public:
    enum class Kind : std::uint8_t
    {
        begin,
        value,
        end
    };
    struct Entry
    {
        Kind kind;
        bool hasValue; // always for a value; for an end, when it carries values the ring had no room for
        int index;
        double value;
    };

    // Set-up: room for `capacity` entries (rounded up to a power of two) on parameters 0 to numParams - 1.
    GestureQueue(int capacity, int numParams);

    // Writer (main thread). Indices out of range are ignored, so is a begin on a gesture already begun.
    void begin(int index) noexcept;
    void value(int index, double value) noexcept;
    void end(int index) noexcept;
    // Ends every gesture begun (the editor went away in the middle of one); false when there was none.
    bool endAll() noexcept;
    // Writer: the value last given for a parameter while the reader has yet to take it.
    std::optional<double> pending(int index) const noexcept;

    // Reader: the oldest entry, then its removal. Allocate nothing, lock nothing.
    bool peek(Entry& entry) const noexcept;
    void pop() noexcept;

private:
    struct Gesture
    {
        bool begun = false;
        bool lost = false;    // no room for its begin: nothing of it goes out
        bool dropped = false; // values lost since the last one queued
        double last = 0.0;    // the last value given
        bool pending = false;
        std::uint32_t pendingUntil = 0; // the write count that carries the last value
    };
    bool valid(int index) const { return index >= 0 && index < static_cast<int>(gestures_.size()); }
    std::uint32_t room() const noexcept;
    void push(const Entry& entry) noexcept;
    void keep(Gesture& gesture, double value) noexcept;

    std::vector<Entry> slots_;
    std::vector<Gesture> gestures_; // writer only
    int begun_ = 0;                 // gestures begun and not lost: the ends room is kept for
    std::atomic<std::uint32_t> written_{0};
    std::atomic<std::uint32_t> read_{0};
};
