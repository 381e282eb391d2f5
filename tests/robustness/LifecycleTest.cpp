// A plug-in lives inside a session for hours: hosts open and close it for every scan, track and undo
// step, and save its state on every autosave. A thousand of each must leak nothing (LeakSanitizer checks
// at exit in the AddressSanitizer build) and keep the heap flat, and a thousand chunk round trips must
// leave the state exactly as it was.

#include "InProcessHost.h"
#include "ZaRorurarozeParam.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZR_HEAP_FROM_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZR_HEAP_FROM_SANITIZER 1
#endif

#if defined(ZR_HEAP_FROM_SANITIZER)
// From the sanitizer runtime's allocator interface (GCC ships the runtime without the header).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

// Without a sanitizer, this executable counts the bytes live through operator new itself: malloc's own
// statistics count blocks held in its per-thread caches as in use, which moves them by kilobytes at random.
namespace
{
std::atomic<long> liveHeapBytes{0};

void* countedAllocation(std::size_t size)
{
    void* block = std::malloc(size > 0 ? size : 1);
    if (block == nullptr) throw std::bad_alloc();
    liveHeapBytes += static_cast<long>(malloc_usable_size(block));
    return block;
}

void countedRelease(void* block) noexcept
{
    if (block == nullptr) return;
    liveHeapBytes -= static_cast<long>(malloc_usable_size(block));
    std::free(block);
}
} // namespace

void* operator new(std::size_t size)
{
    return countedAllocation(size);
}
void* operator new[](std::size_t size)
{
    return countedAllocation(size);
}
void operator delete(void* block) noexcept
{
    countedRelease(block);
}
void operator delete[](void* block) noexcept
{
    countedRelease(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    countedRelease(block);
}
void operator delete[](void* block, std::size_t) noexcept
{
    countedRelease(block);
}
#endif

using namespace zr::test;
using Knob = ZaRorurarozeParam; // parameter indices

namespace
{
constexpr int warmUpCycles = 50;
constexpr int measuredCycles = 1000;
// A leak of the smallest heap block (16 bytes with the allocator's header) per cycle would show as
// 16 000 bytes over the measured cycles; this leaves room for the chunk buffer's length varying with the
// values it holds and for one-off lazy allocations of the library.
constexpr long heapGrowthToleranceBytes = 4096;

long heapBytesInUse()
{
#if defined(ZR_HEAP_FROM_SANITIZER)
    // The sanitizers replace malloc; their allocator knows what is live.
    return static_cast<long>(__sanitizer_get_current_allocated_bytes());
#else
    return liveHeapBytes.load();
#endif
}

Stereo ramp(std::size_t frames)
{
    Stereo s{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::size_t i = 0; i < frames; ++i)
        s.left[i] = s.right[i] = static_cast<float>(i % 100) / 100.0f - 0.5f;
    return s;
}

// One visit of a host: open, set up, play a block in each style, save, restore, suspend, close.
void hostVisit(const Stereo& block, int cycle)
{
    InProcessHost fx;
    fx.start(cycle % 2 == 0 ? 44100.0f : 48000.0f, 256);
    fx.setKnob(cycle % Knob::count, static_cast<float>(cycle % 7) / 6.0f);
    fx.processReplacing(block, 256);
    fx.processAccumulating(block, block, 256);
    std::string bank = fx.chunk(false);
    fx.setChunk(bank, false);
    std::string program = fx.chunk(true);
    fx.setChunk(program, true);
    fx.dispatch(effMainsChanged, 0, 0);
}
} // namespace

TEST(LifecycleTest, ThousandOpenCloseCyclesLeakNothingAndKeepTheHeapFlat)
{
    const Stereo block = ramp(256);
    for (int cycle = 0; cycle < warmUpCycles; ++cycle)
        hostVisit(block, cycle);
    const long before = heapBytesInUse();
    for (int cycle = 0; cycle < measuredCycles; ++cycle)
        hostVisit(block, cycle);
    const long after = heapBytesInUse();
    EXPECT_LE(after - before, heapGrowthToleranceBytes) << "heap before " << before << ", after " << after;
    RecordProperty("heapGrowthBytes", std::to_string(after - before));
}

TEST(LifecycleTest, ThousandChunkRoundTripsKeepTheStateExactAndTheHeapFlat)
{
    InProcessHost fx;
    fx.start(44100.0f, 512);
    fx.recordsHostCalls = false; // the record would grow the heap
    const Stereo block = ramp(512);
    // Knob positions with no short decimal form, so that every save has to write its value exactly.
    auto edit = [&fx](int cycle) {
        fx.setKnob(cycle % Knob::count, static_cast<float>((cycle * 7919) % 10007) / 10007.0f);
    };
    for (int cycle = 0; cycle < warmUpCycles; ++cycle) {
        edit(cycle);
        fx.setChunk(fx.chunk(cycle % 2 == 0), cycle % 2 == 0);
    }
    const long before = heapBytesInUse();
    for (int cycle = 0; cycle < measuredCycles; ++cycle) {
        edit(cycle);
        const bool isPreset = cycle % 2 == 0;
        std::vector<float> knobs;
        for (VstInt32 i = 0; i < Knob::count; ++i)
            knobs.push_back(fx.knob(i));
        const std::string saved = fx.chunk(isPreset);
        ASSERT_EQ(fx.setChunk(saved, isPreset), 1) << "cycle " << cycle;
        ASSERT_EQ(fx.chunk(isPreset), saved) << "cycle " << cycle;
        for (VstInt32 i = 0; i < Knob::count; ++i)
            ASSERT_EQ(fx.knob(i), knobs[static_cast<std::size_t>(i)])
                << "cycle " << cycle << ", parameter " << i;
        if (cycle % 100 == 0) fx.processReplacing(block, 512);
    }
    const long after = heapBytesInUse();
    EXPECT_LE(after - before, heapGrowthToleranceBytes) << "heap before " << before << ", after " << after;
    RecordProperty("heapGrowthBytes", std::to_string(after - before));
}
