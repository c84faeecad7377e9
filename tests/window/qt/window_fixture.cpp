#include "window_fixture.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "core/native_services.h"
#include "window/qt/dialog_font.h"
#include "window/qt/qt_progress_dialog.h"

namespace tunelift::testing {

std::unique_ptr<ProgressDialog> WindowDialogs::ShowProgress(const ProgressText& text) {
  return ShowQtProgress(text, owner_);
}

WindowFixture::WindowFixture(FormOptions options) : originalDirectory_(fs::current_path()) {
  // As the program does at start-up, once.
  static const bool fontChosen = (UseDialogFont(std::cerr), true);
  (void)fontChosen;
  if (!root_.isValid()) {
    throw std::runtime_error("cannot create a temporary folder");
  }
  fs::create_directories(ProgramFolder());
  fs::create_directories(MusicFolder());
  services_ = MakeNativeServices(ProgramFolder().string());
  window_ = std::make_unique<MainWindow>(*services_, dialogs_, options);
  dialogs_.SetOwner(window_.get());
}

WindowFixture::~WindowFixture() {
  window_.reset();
  std::error_code ignored;  // a destructor must not throw; the folder is gone with root_ anyway
  fs::current_path(originalDirectory_, ignored);
}

fs::path WindowFixture::ProgramFolder() const {
  return fs::path(root_.path().toStdString()) / "program";
}

fs::path WindowFixture::MusicFolder() const {
  return fs::path(root_.path().toStdString()) / "music";
}

bool WindowFixture::LoadAndShow() {
  if (!window_->Load()) {
    return false;
  }
  window_->show();
  return QTest::qWaitForWindowExposed(window_.get());
}

void WindowFixture::Click(std::string_view buttonName) {
  Press(buttonName);
  if (!AwaitCopyEnd()) {
    throw std::runtime_error("a copy did not end");
  }
}

void WindowFixture::Press(std::string_view buttonName) {
  auto* button = Control<QPushButton>(buttonName);
  if (button == nullptr) {
    throw std::logic_error("no button " + std::string(buttonName));
  }
  QTest::mouseClick(button, Qt::LeftButton);
}

bool WindowFixture::Copying() const {
  return window_->findChild<QTimer*>(QStringLiteral("CopyTimer"))->isActive();
}

bool WindowFixture::AwaitCopyEnd() {
  return QTest::qWaitFor([this] { return !Copying(); }, 60000);
}

QProgressDialog* WindowFixture::ProgressShown() const {
  auto* dialog = window_->findChild<QProgressDialog*>(QString::fromLatin1(kProgressDialogName));
  return dialog != nullptr && dialog->isVisible() ? dialog : nullptr;
}

void WindowFixture::Select(std::string_view name) {
  auto* list = Control<QListWidget>("File1");
  const QList<QListWidgetItem*> found = list->findItems(ToQString(name), Qt::MatchExactly);
  if (found.isEmpty()) {
    throw std::logic_error("the list does not show " + std::string(name));
  }
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(found.first()).center());
}

QStringList WindowFixture::Listed() const {
  QStringList names;
  const auto* list = Control<QListWidget>("File1");
  for (int i = 0; i < list->count(); ++i) {
    names.append(list->item(i)->text());
  }
  return names;
}

fs::path WriteFile(const fs::path& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out.flush()) {
    throw std::runtime_error("cannot write " + path.string());
  }
  return path;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> FileNames(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code missing;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, missing)) {
    names.push_back(entry.path().filename().string());
  }
  std::ranges::sort(names);
  return names;
}

}  // namespace tunelift::testing
