#include "wrapping_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextLayout>

namespace tunelift {
namespace {

// The lines `caption` breaks into at word boundaries in `font` within `width` pixels, each
// without the spaces at its ends, so that a centred line is centred on what it shows.
QStringList WrapCaption(const QString& caption, const QFont& font, int width) {
  QTextLayout layout(caption, font);
  QTextOption option;
  option.setWrapMode(QTextOption::WordWrap);
  layout.setTextOption(option);
  QStringList lines;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    lines.append(caption.mid(line.textStart(), line.textLength()).trimmed());
  }
  layout.endLayout();
  return lines;
}

}  // namespace

WrappingButton::WrappingButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void WrappingButton::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const QString caption = option.text;
  option.text.clear();
  painter.drawControl(QStyle::CE_PushButton, option);

  QRect captionBox = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
  if (isDown()) {
    // Pressed captions shift as the style shifts its own.
    captionBox.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                         style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
  }
  // Lines break within the focus mark, so that the mark never crosses the caption.
  const int lineWidth =
      style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this).width() - 2;
  const QStringList lines = WrapCaption(caption, font(), lineWidth);
  const QFontMetrics metrics = fontMetrics();
  const int linesHeight =
      static_cast<int>(lines.size() - 1) * metrics.lineSpacing() + metrics.height();
  QRect lineBox(captionBox.left(), captionBox.top() + (captionBox.height() - linesHeight) / 2,
                captionBox.width(), metrics.height());
  for (const QString& line : lines) {
    painter.drawItemText(lineBox, Qt::AlignCenter | Qt::TextShowMnemonic, option.palette,
                         isEnabled(), line, QPalette::ButtonText);
    lineBox.translate(0, metrics.lineSpacing());
  }
}

}  // namespace tunelift
