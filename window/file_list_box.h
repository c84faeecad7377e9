#pragma once
// The file list box: the names, without folder, of the files in one folder whose names match
// a pattern, by the tool's one listing rule (hidden files do not show; sorted by name without
// regard to case), one selectable at a time. The folder is read only on SetPath and Refresh.
// Each entry keeps its name as it is on disk, which List gives; what the entry shows is only
// for the eye.

#include <QListWidget>
#include <string>

#include "window/form_view.h"

namespace tunelift {

class FileListBox : public QListWidget, public FileList {
  Q_OBJECT

public:
  explicit FileListBox(std::string pattern, QWidget* parent = nullptr);

  std::string Pattern() const { return pattern_; }

  std::string Path() const override { return path_; }
  void SetPath(const std::string& folder) override;
  int ListIndex() const override;
  std::string List(int index) const override;
  // Keeps the selected name selected when it is still there.
  void Refresh() override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  std::string pattern_;
  std::string path_;
};

}  // namespace tunelift
