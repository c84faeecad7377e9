#pragma once
// Dialogs that show in the middle of their owner, as the platform places message boxes and
// dialogs.

#include <QWidget>

namespace tunelift {

// Moves `dialog` into the middle of its shown `owner`, within the owner's screen; nothing
// without a shown owner.
void CentreOn(QWidget& dialog, const QWidget* owner);

// A dialog that puts itself in the middle of its owner once it has its final size. Qt places a
// dialog before it shows, but a message box sizes itself to its text only as it shows.
template <typename Dialog>
class Centred : public Dialog {
public:
  using Dialog::Dialog;

protected:
  void showEvent(QShowEvent* event) override {
    Dialog::showEvent(event);
    CentreOn(*this, this->parentWidget());
  }
};

}  // namespace tunelift
