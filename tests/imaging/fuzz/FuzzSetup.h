// Shared by the fuzz targets: a pixel limit small enough that a lying header cannot exhaust
// the fuzzer's memory limit, set once.
#pragma once

#include "Bitmap.h"

inline void limitPixelsForFuzzing()
{
    static const bool limited = [] {
        imaging::setPixelLimit(16'000'000);
        return true;
    }();
    (void)limited;
}
