// Counts heap allocations made through operator new anywhere in the test
// executable (the replacement lives in AllocationCounter.cpp).
#pragma once

long AllocationCount();
