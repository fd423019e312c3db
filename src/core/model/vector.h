#pragma once
// Small single-precision vectors used by the molecule model and the renderer.
#include <cmath>

namespace vl {

struct fvec3 {
  float x = 0, y = 0, z = 0;
  constexpr fvec3() = default;
  constexpr fvec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
  float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
  float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
  fvec3 operator+(const fvec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
  fvec3 operator-(const fvec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
  fvec3 operator*(float s) const { return {x * s, y * s, z * s}; }
  bool operator==(const fvec3& o) const { return x == o.x && y == o.y && z == o.z; }
  bool operator!=(const fvec3& o) const { return !(*this == o); }
  float length() const { return std::sqrt(x * x + y * y + z * z); }
};

struct fvec4 {
  float r = 0, g = 0, b = 0, a = 0;
  constexpr fvec4() = default;
  constexpr fvec4(float r_, float g_, float b_, float a_) : r(r_), g(g_), b(b_), a(a_) {}
  bool operator==(const fvec4& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
  bool operator!=(const fvec4& o) const { return !(*this == o); }
};

constexpr fvec4 black(0.0f, 0.0f, 0.0f, 1.0f);
constexpr fvec4 white(1.0f, 1.0f, 1.0f, 1.0f);

} // namespace vl
