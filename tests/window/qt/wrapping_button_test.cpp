// The wrapping push button, judged by what it draws: a caption wider than the button breaks
// onto lines of its own, each centred on the text it shows.

#include <QFontMetrics>
#include <QImage>
#include <QTest>
#include <vector>

#include "ink_lines.h"
#include "window/qt/wrapping_button.h"

namespace tunelift::testing {
namespace {

// The lines drawn inside the button's frame.
std::vector<InkLine> CaptionInk(WrappingButton& button) {
  const QImage image = button.grab().toImage();
  constexpr int kFrame = 3;
  return InkLines(image, image.rect().adjusted(kFrame, kFrame, -kFrame, -kFrame));
}

// How far a line's ink sits right of the button's middle, in pixels (negative: left).
int OffCentre(const InkLine& line, int buttonWidth) {
  return (line.left() - (buttonWidth - 1 - line.right())) / 2;
}

}  // namespace

class WrappingButtonTest : public QObject {
  Q_OBJECT

private slots:
  void aWideCaptionBreaksOntoCentredLines() {
    WrappingButton button(QStringLiteral("Finish! Finish!"));
    const int word = QFontMetrics(button.font()).horizontalAdvance(QStringLiteral("Finish!"));
    button.resize(word + 30, 4 * QFontMetrics(button.font()).lineSpacing());
    const std::vector<InkLine> lines = CaptionInk(button);
    QCOMPARE(lines.size(), std::size_t(2));
    for (const InkLine& line : lines) {
      QVERIFY2(std::abs(OffCentre(line, button.width())) <= 1,
               qPrintable(QStringLiteral("%1 px off centre").arg(OffCentre(line, button.width()))));
    }
  }

  // The spaces around a word that a break leaves at a line's ends do not push it aside.
  void spacesAtTheEndsOfALineDoNotMoveIt() {
    const QString word = QStringLiteral("Finish!");
    WrappingButton button(QString(11, u' ') + word + QString(8, u' ') + word);
    const QFontMetrics metrics(button.font());
    button.resize(metrics.horizontalAdvance(QString(11, u' ') + word) + 20,
                  4 * metrics.lineSpacing());
    const std::vector<InkLine> lines = CaptionInk(button);
    QCOMPARE(lines.size(), std::size_t(2));
    QCOMPARE(lines[0].width(), lines[1].width());
    QVERIFY2(
        std::abs(OffCentre(lines[0], button.width())) <= 1,
        qPrintable(QStringLiteral("%1 px off centre").arg(OffCentre(lines[0], button.width()))));
  }

  void aCaptionThatFitsStaysOnOneLine() {
    WrappingButton button(QStringLiteral("Send"));
    button.resize(120, 4 * QFontMetrics(button.font()).lineSpacing());
    QCOMPARE(CaptionInk(button).size(), std::size_t(1));
  }
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::WrappingButtonTest)
#include "wrapping_button_test.moc"
