#pragma once
// The file list box on Qt: draws what its StagedList holds (the list's rules live there), one
// entry selectable at a time. The folder is read only on SetPath and Refresh. Each entry keeps
// its name as it is on disk, which List gives; what the entry shows is only for the eye.

#include <QListWidget>
#include <functional>
#include <string>

#include "window/staged_list.h"

namespace tunelift {

class FileListBox : public QListWidget, public FileList {
  Q_OBJECT

public:
  explicit FileListBox(std::string pattern, QWidget* parent = nullptr);

  const std::string& Pattern() const { return list_.Pattern(); }

  std::string Path() const override { return list_.Path(); }
  void SetPath(const std::string& folder) override;
  int ListIndex() const override;
  std::string List(int index) const override { return list_.List(index); }
  // Keeps the selected name selected when it is still there.
  void Refresh() override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  // Runs `read` on the rules' list, then draws what it holds, also when `read` failed.
  void ReadAndShow(const std::function<void()>& read);
  // Draws the entries again and selects the one the rules kept.
  void ShowEntries();

  StagedList list_;
};

}  // namespace tunelift
