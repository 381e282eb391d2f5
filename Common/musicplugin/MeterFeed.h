#pragma once
// Meter readings carried from the audio thread to an editor on the GUI thread without a lock: for a peak
// meter the largest reading since the editor last took it, so no peak between two repaints is lost; for a
// level meter (MeterInfo::latest) the newest. While no editor wants them the audio thread takes no readings
// at all, and while one does, it takes them 30 times a second of audio, not at every block: the plug-in
// keeps its peaks between readings, and an editor repaints some 30 times a second.

#include <atomic>
#include <memory>
#include <optional>

class MusicPlugin;

class MeterFeed
{
public:
    // Set-up: one slot per meter of the plug-in.
    explicit MeterFeed(const MusicPlugin& plugin);

    // GUI thread: an editor opened (true) or closed (false).
    void setWanted(bool wanted);
    // Audio thread, after each processed block of `frames`: the plug-in's readings into the slots, when 1/30
    // s of audio passed since the last ones (due, then offer for each meter). Allocates nothing, locks
    // nothing.
    void publish(MusicPlugin& plugin, int frames) noexcept;
    // For a bridge that takes some readings itself every block (a meter the host shows): audio thread, after
    // each block; tells the plug-in whether its editor-only meters are wanted, and whether every reading is
    // to be taken and offered now. The first round after an editor opened only clears what piled up while it
    // was closed.
    bool due(MusicPlugin& plugin, int frames) noexcept;
    // Audio thread: a reading the bridge took, into meter `index`'s slot while an editor wants it.
    void offer(int index, double reading) noexcept;
    // GUI thread: meter `index`'s largest reading since the last take; nothing when no block was processed
    // in between.
    std::optional<double> take(int index);

private:
    int numMeters_;
    std::unique_ptr<std::atomic<float>[]> slots_;
    std::unique_ptr<bool[]> latest_;
    std::atomic<bool> wanted_{false};
    // Audio thread only.
    bool primed_ = false;
    bool discarding_ = false;
    double framesSinceReading_ = 0.0;
};
