// Marks a function over a run of pixels to be built twice, for any x86-64 and for AVX2, the
// faster one picked when the program loads. The integer pixel loops gain several times from
// AVX2's 32-bit multiplies and wider registers, while the program still runs on every x86-64.
#pragma once

// Not under the sanitizers: the variant is picked by a resolver that runs before their
// run-time is set up, and the program crashes at load.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) \
    && !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
#define PIXEL_KERNEL __attribute__((target_clones("avx2", "default")))
#else
#define PIXEL_KERNEL
#endif
