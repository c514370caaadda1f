#include "ClockHarness.h"

ClockHarness::ClockHarness(double sampleRate, int maxBlockSize) : m_maxBlockSize(maxBlockSize)
{
    m_engine.Reset(sampleRate, maxBlockSize);
}
