#include "ink_lines.h"

#include <algorithm>

namespace tunelift::testing {
namespace {

constexpr int kDarkest = 110;  // gray level below which a pixel counts as ink

}  // namespace

std::vector<InkLine> InkLines(const QImage& image, const QRect& area) {
  std::vector<InkLine> lines;
  bool previousRowHadInk = false;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    int left = area.right() + 1;
    int right = area.left() - 1;
    for (int x = area.left(); x <= area.right(); ++x) {
      if (qGray(image.pixel(x, y)) < kDarkest) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    const bool hasInk = right >= left;
    if (hasInk && previousRowHadInk) {
      lines.back() |= QRect(QPoint(left, y), QPoint(right, y));
    } else if (hasInk) {
      lines.push_back(QRect(QPoint(left, y), QPoint(right, y)));
    }
    previousRowHadInk = hasInk;
  }
  return lines;
}

}  // namespace tunelift::testing
