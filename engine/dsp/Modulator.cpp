#include "engine/dsp/Modulator.h"

#include <cmath>

#include "engine/dsp/LimitParameter.h"
#include "engine/dsp/ReproducibleMath.h"

void Modulator::SetDestination(double destination)
{
    m_destination = RoundHalfAway(LimitParameter(destination, kVcf, kChorus));
}

void Modulator::SetRate(double rate)
{
    // One cycle of the -1..1 phase per 1000 / rate ticks.
    m_lfoIncrement = 2.0 * LimitParameter(rate, 0.0, kMaxRate) / 1000.0;
}

void Modulator::SetDepth(double depth)
{
    m_depth = LimitParameter(depth, 0.0, 1.0);
}

double Modulator::Step(double modulationWheel)
{
    if (!(m_depth > 0.0)) {
        return 0.0;
    }
    if (m_sourceIsWheel) {
        return m_depth * LimitParameter(modulationWheel, 0.0, 1.0);
    }
    m_lfoValue = 2.0 * std::fabs(m_lfoPhase) - 1.0;
    m_lfoPhase += m_lfoIncrement;
    if (m_lfoPhase >= 1.0) {
        m_lfoPhase -= 2.0;
    }
    return m_depth * m_lfoValue;
}
