#pragma once

#include <cmath>

namespace logo {

// Sine and cosine of an angle in radians, with the same bits wherever the
// intro is built, as far as can be. Natively they are the C library's (glibc's).
// Emscripten's maths library rounds differently from glibc for about 3 % of
// whole degrees, so in WebAssembly they are taken in binary128 (Emscripten's
// long double) and rounded once: correctly rounded, as glibc's are for all but
// about 0.14 % of whole degrees. Over a virtual week neither difference moves a
// drawn coordinate (docs/web-build.md, bench/logo/logo_scan).
#ifdef __EMSCRIPTEN__
inline double Sin(double radians) { return static_cast<double>(std::sin(static_cast<long double>(radians))); }
inline double Cos(double radians) { return static_cast<double>(std::cos(static_cast<long double>(radians))); }
#else
inline double Sin(double radians) { return std::sin(radians); }
inline double Cos(double radians) { return std::cos(radians); }
#endif

}  // namespace logo
