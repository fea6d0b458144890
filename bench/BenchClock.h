#pragma once
// Time and verdicts shared by the benchmark programs.
#include <windows.h>

// Seconds on the performance counter; only differences mean anything.
inline double Seconds() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Seconds one call of `run` takes.
template <typename Run>
double SecondsOf(Run&& run) {
    const double start = Seconds();
    run();
    return Seconds() - start;
}

inline const char* Verdict(bool met) { return met ? "PASS" : "MISS"; }
