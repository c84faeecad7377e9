#include "window/qt/program_icon.h"

#include <QSize>
#include <QString>

namespace tunelift {
namespace {

// The sizes window/qt/CMakeLists.txt draws into the resource ":/icon".
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

}  // namespace

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : kIconSizes) {
    icon.addFile(QStringLiteral(":/icon/tunelift-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace tunelift
