#include "window/qt/file_list_box.h"

#include <QPainter>
#include <QStyleOptionFocusRect>
#include <functional>
#include <utility>

#include "window/qt/path_text.h"

namespace tunelift {

FileListBox::FileListBox(std::string pattern, QWidget* parent)
    : QListWidget(parent), list_(std::move(pattern)) {
  setSelectionMode(QAbstractItemView::SingleSelection);
}

void FileListBox::SetPath(const std::string& folder) {
  list_.Select(-1);
  ReadAndShow([this, &folder] { list_.SetPath(folder); });
}

int FileListBox::ListIndex() const {
  const QList<QListWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? -1 : row(selected.first());
}

void FileListBox::Refresh() {
  list_.Select(ListIndex());
  ReadAndShow([this] { list_.Refresh(); });
}

void FileListBox::ReadAndShow(const std::function<void()>& read) {
  try {
    read();
  } catch (...) {
    ShowEntries();  // an unreadable folder shows an empty list, not names that may be gone
    throw;
  }
  ShowEntries();
}

void FileListBox::ShowEntries() {
  clear();
  for (const ListEntry& entry : list_.Entries()) {
    addItem(ToQString(entry.shown));
  }
  if (list_.ListIndex() >= 0) {
    setCurrentRow(list_.ListIndex());
  }
}

// Qt marks the focus on the current entry only; with no current entry (an empty list, say) the
// focused list would show no mark at all. The platform's list box then marks its first row.
void FileListBox::paintEvent(QPaintEvent* event) {
  QListWidget::paintEvent(event);
  if (!hasFocus() || currentIndex().isValid()) {
    return;
  }
  QStyleOptionFocusRect mark;
  mark.initFrom(this);
  mark.rect = count() > 0 ? visualItemRect(item(0))
                          : QRect(0, 0, viewport()->width(), fontMetrics().height() + 2);
  mark.backgroundColor = palette().color(QPalette::Base);
  QPainter painter(viewport());
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &mark, &painter, this);
}

}  // namespace tunelift
