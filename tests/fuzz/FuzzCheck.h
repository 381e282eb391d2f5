#pragma once
// A property of a fuzz target that must hold for every input. A broken one prints its text and aborts,
// which libFuzzer reports as a crash and saves with the input that caused it.

namespace zr::fuzz
{
[[noreturn]] void propertyFailed(const char* property, const char* file, int line);
} // namespace zr::fuzz

#define ZR_FUZZ_CHECK(property)                                                                              \
    ((property) ? static_cast<void>(0) : ::zr::fuzz::propertyFailed(#property, __FILE__, __LINE__))
