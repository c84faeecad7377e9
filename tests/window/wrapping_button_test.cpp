// The wrapping push button, judged by what it draws: a caption wider than the button breaks
// onto lines of its own, each centred.

#include <QFontMetrics>
#include <QImage>
#include <QTest>
#include <vector>

#include "window/wrapping_button.h"

namespace tunelift::testing {
namespace {

struct InkRow {
  int y;
  int left;
  int right;
};

// Rows of dark pixels inside the button's frame, with the first and last dark column of each.
std::vector<InkRow> InkRows(const QImage& image) {
  constexpr int kFrame = 3;
  std::vector<InkRow> rows;
  for (int y = kFrame; y < image.height() - kFrame; ++y) {
    InkRow row{y, image.width(), -1};
    for (int x = kFrame; x < image.width() - kFrame; ++x) {
      if (qGray(image.pixel(x, y)) < 110) {
        row.left = std::min(row.left, x);
        row.right = std::max(row.right, x);
      }
    }
    if (row.right >= 0) {
      rows.push_back(row);
    }
  }
  return rows;
}

// Runs of adjacent ink rows: one per line of text.
std::vector<std::vector<InkRow>> Lines(const std::vector<InkRow>& rows) {
  std::vector<std::vector<InkRow>> lines;
  for (const InkRow& row : rows) {
    if (lines.empty() || row.y != lines.back().back().y + 1) {
      lines.emplace_back();
    }
    lines.back().push_back(row);
  }
  return lines;
}

}  // namespace

class WrappingButtonTest : public QObject {
  Q_OBJECT

private slots:
  void aWideCaptionBreaksOntoCentredLines() {
    WrappingButton button(QStringLiteral("Finish! Finish!"));
    const int word = QFontMetrics(button.font()).horizontalAdvance(QStringLiteral("Finish!"));
    button.resize(word + 30, 4 * QFontMetrics(button.font()).lineSpacing());
    const std::vector<std::vector<InkRow>> lines = Lines(InkRows(button.grab().toImage()));

    QCOMPARE(lines.size(), std::size_t(2));
    for (const std::vector<InkRow>& line : lines) {
      int left = button.width();
      int right = 0;
      for (const InkRow& row : line) {
        left = std::min(left, row.left);
        right = std::max(right, row.right);
      }
      const int rightMargin = button.width() - 1 - right;
      QVERIFY2(std::abs(left - rightMargin) <= 2,
               qPrintable(QStringLiteral("margins %1 and %2").arg(left).arg(rightMargin)));
    }
  }

  void aCaptionThatFitsStaysOnOneLine() {
    WrappingButton button(QStringLiteral("Send"));
    button.resize(120, 4 * QFontMetrics(button.font()).lineSpacing());
    QCOMPARE(Lines(InkRows(button.grab().toImage())).size(), std::size_t(1));
  }
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::WrappingButtonTest)
#include "wrapping_button_test.moc"
