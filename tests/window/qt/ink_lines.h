#pragma once
// Lines of text as a widget drew them: the runs of rows holding dark pixels, each with its
// leftmost and rightmost dark column. Tests judge a caption by what was drawn, not by what
// the code meant to draw.

#include <QImage>
#include <QRect>
#include <vector>

namespace tunelift::testing {

// One line of ink: the box around its dark pixels.
using InkLine = QRect;

// The lines of dark pixels inside `area` of `image`, from top to bottom.
std::vector<InkLine> InkLines(const QImage& image, const QRect& area);

}  // namespace tunelift::testing
