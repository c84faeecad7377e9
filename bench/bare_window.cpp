// The floor of the toolkit for bench/run: a bare Qt Widgets window with Tunelift's controls
// at their places, in the same font, and nothing behind them (no folders, no script, no
// handlers). What Tunelift costs beyond this is its own.

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

#include "window/layout.h"

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QWidget* MakeControl(const tunelift::ControlSpec& control, QWidget* parent) {
  switch (control.kind) {
    case tunelift::ControlKind::PushButton: return new QPushButton(Text(control.text), parent);
    case tunelift::ControlKind::Label: {
      auto* label = new QLabel(Text(control.text), parent);
      label->setWordWrap(true);
      return label;
    }
    case tunelift::ControlKind::FileListBox: return new QListWidget(parent);
  }
  return nullptr;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  QApplication::setFont(font);

  QWidget window;
  window.setWindowTitle(QStringLiteral("Bare"));
  window.setFixedSize(tunelift::ToPixels(tunelift::kClientWidth),
                      tunelift::ToPixels(tunelift::kClientHeight));
  for (const tunelift::ControlSpec& control : tunelift::kControls) {
    MakeControl(control, &window)
        ->setGeometry(tunelift::ToPixels(control.left), tunelift::ToPixels(control.top),
                      tunelift::ToPixels(control.width), tunelift::ToPixels(control.height));
  }
  window.show();
  return QApplication::exec();
}
