#pragma once
// The one stopwatch both in-process extractors use, so their figures differ only by the extraction
// itself: the committed private memory, the performance counter, the work, the counter, the memory
// again, then key=value lines on stdout for scripts/bench.
#include "platform/win32/Win32.h"

#include <psapi.h>

#include <cstdio>

namespace bench {

// Windows documents PrivateUsage as the same figure as PagefileUsage (the commit charge). Wine fills
// only the short structure and leaves PrivateUsage zero; its PagefileUsage is the resident anonymous
// memory of the process, the nearest it has.
inline SIZE_T PrivateUsage() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof counters))
        return 0;
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

inline double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// Runs extract() (which returns false on failure) between the two counter reads.
template <typename Extract> bool TimeExtraction(Extract&& extract) {
    const SIZE_T before = PrivateUsage();
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    const bool ok = extract();
    ::QueryPerformanceCounter(&end);
    const SIZE_T after = PrivateUsage();
    std::printf("extract_ms=%.3f\nprivate_before=%lu\nprivate_after=%lu\n", Milliseconds(start, end),
                static_cast<unsigned long>(before), static_cast<unsigned long>(after));
    std::fflush(stdout);
    return ok;
}

} // namespace bench
