#include "window/wrapping_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace tunelift {

WrappingButton::WrappingButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent) {}

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
  painter.drawItemText(captionBox, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic,
                       option.palette, isEnabled(), caption, QPalette::ButtonText);
}

}  // namespace tunelift
