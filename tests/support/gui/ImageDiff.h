#pragma once
// How far two drawings of one thing lie apart: the largest difference of one colour channel of one pixel (0 where
// they are the same; a drawing of another size is as far apart as can be). Antialiased edges blended in another
// order differ by one.

#include <QImage>

#include <algorithm>
#include <cstdlib>

namespace qv::test {

inline int worstPixelDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 255;
  int worst = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      worst = std::max(
          {worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
    }
  }
  return worst;
}

}  // namespace qv::test
