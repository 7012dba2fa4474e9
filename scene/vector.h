// Three-component vector of float32 model units.
#pragma once

namespace mw {

struct CVector {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  CVector() = default;
  CVector(float ax, float ay, float az) : x(ax), y(ay), z(az) {}

  // Arithmetic runs in double and is stored back as float32.
  CVector& operator+=(const CVector& o) {
    x = static_cast<float>(static_cast<double>(x) + o.x);
    y = static_cast<float>(static_cast<double>(y) + o.y);
    z = static_cast<float>(static_cast<double>(z) + o.z);
    return *this;
  }
  friend CVector operator-(const CVector& a, const CVector& b) {
    return CVector(static_cast<float>(static_cast<double>(a.x) - b.x),
                   static_cast<float>(static_cast<double>(a.y) - b.y),
                   static_cast<float>(static_cast<double>(a.z) - b.z));
  }
  friend bool operator==(const CVector& a, const CVector& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
};

// a x b
inline CVector Cross(const CVector& a, const CVector& b) {
  const double ax = a.x, ay = a.y, az = a.z, bx = b.x, by = b.y, bz = b.z;
  return CVector(static_cast<float>(ay * bz - az * by), static_cast<float>(az * bx - ax * bz),
                 static_cast<float>(ax * by - ay * bx));
}

}  // namespace mw
