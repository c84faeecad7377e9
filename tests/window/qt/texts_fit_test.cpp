// Every text of the window shows whole in its box, measured with the font the window is drawn
// in, in each style it may be drawn in and at the scale the test runs at (CTest runs it once
// as it is and once with QT_SCALE_FACTOR=2).

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sstream>

#include "ink_lines.h"
#include "window/qt/dialog_font.h"
#include "window_fixture.h"

namespace tunelift::testing {
namespace {

const QStringList kLabels{"Label1", "Label2", "Label3"};
const QStringList kButtons{"Browse", "Delete", "cmdDelete", "Finish", "Send"};

// The box a button draws its caption in, as its style gives it.
QRect CaptionBox(const QPushButton& button) {
  QStyleOptionButton option;
  option.initFrom(&button);
  return button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
}

QString Describe(const QString& name, const QRect& box, const QRect& text) {
  return QStringLiteral("%1: text %2x%3 at %4,%5 in box %6x%7 at %8,%9")
      .arg(name)
      .arg(text.width())
      .arg(text.height())
      .arg(text.x())
      .arg(text.y())
      .arg(box.width())
      .arg(box.height())
      .arg(box.x())
      .arg(box.y());
}

QRect ToDevicePixels(const QRect& logical, qreal ratio) {
  return {(logical.topLeft().toPointF() * ratio).toPoint(),
          (logical.size().toSizeF() * ratio).toSize()};
}

}  // namespace

class TextsFitTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { defaultStyle_ = QApplication::style()->name(); }
  void init() { fixture_ = std::make_unique<WindowFixture>(); }
  void cleanup() {
    fixture_.reset();
    QApplication::setStyle(defaultStyle_);
    std::ostringstream ignored;
    UseDialogFont(ignored);
  }

  // Bitmap strikes cannot be scaled: at a scale other than 1 the window takes the scalable
  // font.
  void theWindowIsDrawnInTheDialogFont() {
    QVERIFY(fixture_->LoadAndShow());
    const QString expected = qApp->devicePixelRatio() == 1.0 ? QStringLiteral("MS Sans Serif")
                                                             : QStringLiteral("Tahoma");
    for (const QString& name : kLabels + kButtons) {
      QCOMPARE(QFontInfo(fixture_->Control<QWidget>(name.toStdString())->font()).family(),
               expected);
    }
  }

  void aMissingDialogFontFallsBackAndSaysSoOnce() {
    QTemporaryDir noFonts;
    std::ostringstream warnings;
    const QFont font = LoadDialogFont({.fontFolder = noFonts.path()}, warnings);
    QCOMPARE(QFontInfo(font).family(), QStringLiteral("Liberation Sans"));
    const std::string said = warnings.str();
    QCOMPARE(std::count(said.begin(), said.end(), '\n'), 1L);
    QVERIFY(said.find("fonts-wine") != std::string::npos);
  }

  void everyTextFitsItsBox_data() { StylesAndFonts(); }
  void everyTextFitsItsBox() {
    Prepare();
    for (const QString& name : kLabels) {
      const auto* label = fixture_->Control<QLabel>(name.toStdString());
      const QRect box = label->contentsRect();
      const QRect text =
          QFontMetrics(label->font())
              .boundingRect(box, int(label->alignment()) | Qt::TextWordWrap, label->text());
      QVERIFY2(box.contains(text), qPrintable(Describe(name, box, text)));
    }
    for (const QString& name : kButtons) {
      const auto* button = fixture_->Control<QPushButton>(name.toStdString());
      const QRect box = CaptionBox(*button);
      const QRect text = QFontMetrics(button->font())
                             .boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, button->text());
      QVERIFY2(box.contains(text), qPrintable(Describe(name, box, text)));
    }
  }

  // Judged by the ink drawn in the dialog font: "Finish!" on the first line and "(and delete
  // temp files)" on the second, each centred, both inside the caption's box. (The fallback
  // font's spaces are narrower: there "(and" stays on the first line.)
  void theFinishCaptionIsTwoCentredLines_data() { Styles(); }
  void theFinishCaptionIsTwoCentredLines() {
    Prepare();
    auto* finish = fixture_->Control<QPushButton>("Finish");
    const QImage image = finish->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const QRect box = ToDevicePixels(CaptionBox(*finish), ratio);
    const std::vector<InkLine> lines = InkLines(image, box);
    QCOMPARE(lines.size(), std::size_t(2));

    const QFontMetrics metrics(finish->font());
    const QStringList words{"Finish!", "(and delete temp files)"};
    const int slack = qRound(3 * ratio);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const InkLine& line = lines[i];
      const int leftMargin = line.left() - box.left();
      const int rightMargin = box.right() - line.right();
      QVERIFY2(std::abs(leftMargin - rightMargin) <= slack,
               qPrintable(QStringLiteral("line %1: margins %2 and %3")
                              .arg(i)
                              .arg(leftMargin)
                              .arg(rightMargin)));
      QVERIFY(line.top() > box.top() && line.bottom() < box.bottom());
      const int width = qRound(metrics.tightBoundingRect(words[int(i)]).width() * ratio);
      QVERIFY2(std::abs(line.width() - width) <= slack,
               qPrintable(QStringLiteral("line %1 is %2 px wide, \"%3\" is %4")
                              .arg(i)
                              .arg(line.width())
                              .arg(words[int(i)])
                              .arg(width)));
    }
  }

private:
  static void StylesAndFonts(bool withFallback = true) {
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("fallback");
    for (const char* style : {"", "Fusion", "Windows"}) {
      const QString name = *style == '\0' ? QStringLiteral("default") : QString(style);
      QTest::newRow(qPrintable(name + ", dialog font")) << QString(style) << false;
      if (withFallback) {
        QTest::newRow(qPrintable(name + ", fallback font")) << QString(style) << true;
      }
    }
  }
  static void Styles() { StylesAndFonts(false); }

  void Prepare() {
    QFETCH(QString, style);
    QFETCH(bool, fallback);
    if (!style.isEmpty()) {
      QVERIFY(QApplication::setStyle(style) != nullptr);
    }
    if (fallback) {
      QTemporaryDir noFonts;
      std::ostringstream ignored;
      QApplication::setFont(LoadDialogFont({.fontFolder = noFonts.path()}, ignored));
    }
    QVERIFY(fixture_->LoadAndShow());
  }

  QString defaultStyle_;
  std::unique_ptr<WindowFixture> fixture_;
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::TextsFitTest)
#include "texts_fit_test.moc"
