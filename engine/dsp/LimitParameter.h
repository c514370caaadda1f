// Limits a parameter value taken by an engine setter to its range, so that
// any value a host or a corrupt state can deliver keeps the engine finite.
#pragma once

// `value` limited to minimum..maximum; NaN counts as the minimum.
inline double LimitParameter(double value, double minimum, double maximum)
{
    if (!(value >= minimum)) {
        return minimum;
    }
    return value > maximum ? maximum : value;
}
