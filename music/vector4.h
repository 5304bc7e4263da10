// Four floats at a time where the target has the registers (GCC's and
// clang's vector extension: plain code elsewhere). For the analysis' few
// hot loops, which the compiler leaves scalar at -O2.
#pragma once
#include <cstring>

namespace music {

using V4 = float __attribute__((vector_size(16)));
using V2d = double __attribute__((vector_size(16)));

inline V4 Load(const float* p) {
  V4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void Store(float* p, V4 v) { std::memcpy(p, &v, sizeof v); }
inline V4 Reversed(V4 v) { return V4{v[3], v[2], v[1], v[0]}; }

}  // namespace music
