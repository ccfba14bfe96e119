// Sine, cosine, arctangent and hypotenuse that give the same bits on every
// system and compiler.
//
// The C libraries of different systems round these functions differently
// in the last bit, so the same drawing would get coordinates and extents
// that differ between builds. These versions use only IEEE 754 operations
// that every system rounds alike (+, -, *, /, sqrt, exact scaling), with the
// algorithms and coefficients of fdlibm (see Maths.cpp); they are accurate
// to within one unit in the last place.
#pragma once

namespace talvine::math {

double Sin(double x);
double Cos(double x);
double Atan2(double y, double x);
// sqrt(x*x + y*y) without overflow or underflow on the way.
double Hypot(double x, double y);

}  // namespace talvine::math
