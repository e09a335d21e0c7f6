// Angles given in degrees, stored as sines (the friction and dilatancy
// angles of the material slots).
#pragma once

namespace soilcal::models {

// The sine of an angle in degrees, correctly rounded to the nearest double:
// the angle is reduced exactly to [0, 45] degrees of a sine or a cosine and
// the series is summed in twice the precision of long double, so that
// sin 30 = 0.5 and sin 90 = 1 exactly, sin(-x) = -sin x, and the same number
// of degrees gives the same sine on every machine with IEEE arithmetic.
double SineOfDegrees(double degrees);

}  // namespace soilcal::models
