#pragma once
// Meter readings carried from the audio thread to an editor on the GUI thread without a lock: for each
// meter the largest reading since the editor last took it, so no peak between two repaints is lost.
// While no editor wants them the audio thread takes no readings for it.

#include <atomic>
#include <memory>
#include <optional>

class MusicPlugin;

class MeterFeed
{
public:
    // Set-up: one slot per meter of the plug-in.
    explicit MeterFeed(int numMeters);

    // GUI thread: an editor opened (true) or closed (false).
    void setWanted(bool wanted);
    // Audio thread, after each processed block: the plug-in's readings into the slots. Allocates nothing,
    // locks nothing; the first call after the editor opened only clears what piled up while it was closed.
    void publish(MusicPlugin& plugin) noexcept;
    // Audio thread, for adaptors that take the readings themselves (some of them every block): starts a
    // block's readings and answers whether an editor wants them; offer then hands over one. As with
    // publish, the readings of the first block after the editor opened are not kept.
    bool startBlock() noexcept;
    void offer(int index, double value) noexcept;
    // GUI thread: meter `index`'s largest reading since the last take; nothing when no block was processed
    // in between.
    std::optional<double> take(int index);

private:
    int numMeters_;
    std::unique_ptr<std::atomic<float>[]> largest_;
    std::atomic<bool> wanted_{false};
    bool primed_ = false;  // audio thread only
    bool keeping_ = false; // audio thread only: this block's readings are kept
};
