#include "centred.h"

#include <QScreen>
#include <algorithm>

namespace tunelift {

void CentreOn(QWidget& dialog, const QWidget* owner) {
  if (owner == nullptr || !owner->isVisible()) {
    return;
  }
  // A dialog that has not shown yet has no frame; it gets one as thick as its owner's. Its
  // place is given without the frame, which the window manager then puts around it.
  const QRect ownerFrame = owner->frameGeometry();
  const QPoint frameTopLeft = owner->geometry().topLeft() - ownerFrame.topLeft();
  const QSize frame = dialog.size() + (ownerFrame.size() - owner->size());
  QPoint topLeft = ownerFrame.center() - QPoint(frame.width() / 2, frame.height() / 2);
  const QRect available = owner->screen()->availableGeometry();
  topLeft.setX(std::clamp(topLeft.x(), available.left(),
                          std::max(available.left(), available.right() - frame.width())));
  topLeft.setY(std::clamp(topLeft.y(), available.top(),
                          std::max(available.top(), available.bottom() - frame.height())));
  dialog.setGeometry(QRect(topLeft + frameTopLeft, dialog.size()));
}

}  // namespace tunelift
