#pragma once
// Paths and names cross between Qt and the core here only: QString inside the widgets, the
// platform's own text (UTF-8) everywhere else.

#include <QString>
#include <string>
#include <string_view>

namespace tunelift {

inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToText(const QString& text) {
  return text.toStdString();
}

}  // namespace tunelift
