#pragma once
// The file list box on Qt: draws what its StagedList holds (the list's rules live there), one
// entry selectable at a time. What an entry shows is only for the eye; List gives its name as
// it is on disk.

#include <QListWidget>
#include <string>

#include "window/staged_list.h"

namespace tunelift {

class FileListBox : public QListWidget, public StagedListControl {
  Q_OBJECT

public:
  explicit FileListBox(std::string pattern, QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  int SelectedRow() const override;
  void ShowEntries() override;
};

}  // namespace tunelift
