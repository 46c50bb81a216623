// The hottest loops are compiled twice, for baseline x86-64 and for AVX2, and the loader picks
// the better one for the processor once, when the program starts. Both copies do the same IEEE
// operations in the same order (AVX2 brings no fused multiply-add, and contraction is off
// anyway), so every result is bit for bit the same; only the width of the vectors differs.
#pragma once

#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define TAV_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TAV_VECTOR_CLONES
#endif
