// Exponential, sine, cosine and tangent computed with plain double arithmetic
// (no fused multiply-adds, SSE2 on every target), so the x86-64 and i386
// builds get the same bits. The C libraries do not agree: the i386 and x86-64
// mingw-w64 runtimes give different pow and tan results, and glibc differs
// from both. For tables and coefficients, not for the per-sample path.
// Accuracy: within a few units in the last place of the exact value.
#pragma once

// e^x for |x| <= 700.
double ReproducibleExp(double x);

// sin x and cos x for x in -pi..pi (radians).
double ReproducibleSin(double x);
double ReproducibleCos(double x);

// tan x for x in 0..pi/2 (radians), exclusive of pi/2.
double ReproducibleTan(double x);
