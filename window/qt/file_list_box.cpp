#include "window/qt/file_list_box.h"

#include <QPainter>
#include <QStyleOptionFocusRect>
#include <utility>

#include "path_text.h"

namespace tunelift {

FileListBox::FileListBox(std::string pattern, QWidget* parent)
    : QListWidget(parent), StagedListControl(std::move(pattern)) {
  setSelectionMode(QAbstractItemView::SingleSelection);
}

int FileListBox::SelectedRow() const {
  const QList<QListWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? -1 : row(selected.first());
}

void FileListBox::ShowEntries() {
  clear();
  for (const ListEntry& entry : Rules().Entries()) {
    addItem(ToQString(entry.shown));
  }
  if (Rules().ListIndex() >= 0) {
    setCurrentRow(Rules().ListIndex());
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
