// The widest vector instructions the engine's voice kernels use: what the
// processor offers, found once with the processor's feature flags (x86-64
// only; the i386 module and other targets stay on SSE2 pairs), capped by
// tests and benchmarks that compare the paths. Every path computes the same
// bits; the level only chooses how many voices share an instruction.
#pragma once

enum class VectorLevel {
    kPairs = 0,   // SSE2: one voice's left and right in one register
    kAvx = 1,     // 256-bit floating point
    kAvx2 = 2,    // and 256-bit integers and gathers
    kAvx512 = 3,  // 512-bit (F and DQ)
};

// The processor's level (the build's ceiling included).
VectorLevel ProcessorVectorLevel();
// The level the kernels use: the processor's, at most the cap.
VectorLevel ActiveVectorLevel();
// Tests and benchmarks: keeps the kernels at or below `cap`
// (VectorLevel::kAvx512 lifts the cap).
void CapVectorLevel(VectorLevel cap);
