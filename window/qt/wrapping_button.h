#pragma once
// A push button whose caption breaks onto further lines, centred, when it is wider than the
// button, as the platform's command buttons draw theirs. QPushButton keeps its caption on one
// line, so this one draws the frame through the style and the caption itself.

#include <QPushButton>

namespace tunelift {

class WrappingButton : public QPushButton {
  Q_OBJECT

public:
  explicit WrappingButton(const QString& text, QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tunelift
