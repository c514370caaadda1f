// Counts heap allocations made through operator new anywhere in the test
// executable (the replacement lives in AllocationCounter.cpp; linking it
// replaces the global operator new of the whole test executable).
#pragma once

long AllocationCount();
