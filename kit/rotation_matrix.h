// 3 × 3 rotation matrices for the motion conventions of kit/motion.h: what
// turns device axes into table axes (x east, y north, z up) and back. Used
// where readings are made (the simulated tablet) and converted (the
// browser's sensors).
#pragma once

#include <cmath>

#include "kit/motion.h"

namespace kit {

struct Matrix3 {
  double m[3][3];

  Vector3 operator*(const Vector3& v) const {
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
            m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
  }
  // The inverse rotation applied to v, without making the transpose.
  Vector3 transposeTimes(const Vector3& v) const {
    return {m[0][0] * v.x + m[1][0] * v.y + m[2][0] * v.z,
            m[0][1] * v.x + m[1][1] * v.y + m[2][1] * v.z,
            m[0][2] * v.x + m[1][2] * v.y + m[2][2] * v.z};
  }
  Matrix3 operator*(const Matrix3& o) const {
    Matrix3 r{};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 3; ++k) r.m[i][j] += m[i][k] * o.m[k][j];
    return r;
  }
  Matrix3 transposed() const {
    Matrix3 r{};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) r.m[i][j] = m[j][i];
    return r;
  }
};

// Right-handed turns by a radians about each axis.
inline Matrix3 rotationX(double a) {
  const double c = std::cos(a), s = std::sin(a);
  return {{{1, 0, 0}, {0, c, -s}, {0, s, c}}};
}
inline Matrix3 rotationY(double a) {
  const double c = std::cos(a), s = std::sin(a);
  return {{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}};
}
inline Matrix3 rotationZ(double a) {
  const double c = std::cos(a), s = std::sin(a);
  return {{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}

}  // namespace kit
