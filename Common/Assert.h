#pragma once
// The project's one assertion macro.
//
// ZR_ASSERT(condition) and ZR_ASSERT(condition, "message") report the condition exactly as written in the
// source and the source path relative to the project root without its extension (for example
// "Common/musicplugin/RealParam"), then abort. They are active when ZR_ASSERTIONS is 1 (debug and test
// builds) and compiled out otherwise; code reachable from a host must still guard itself behind them.

#ifndef ZR_ASSERTIONS
#define ZR_ASSERTIONS 0
#endif

namespace zr
{
[[noreturn]] void assertionFailed(const char* condition, const char* file, int line, const char* message);
}

#if ZR_ASSERTIONS
#define ZR_ASSERT(condition, ...)                                                                            \
    ((condition) ? static_cast<void>(0)                                                                      \
                 : ::zr::assertionFailed(#condition, __FILE__, __LINE__, "" __VA_ARGS__))
#else
// Keeps the operands referenced (no unused-variable warnings) without evaluating them.
#define ZR_ASSERT(condition, ...) static_cast<void>(sizeof((condition) ? 1 : 0))
#endif
