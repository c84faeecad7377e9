#include "window/file_list_box.h"

#include <QPainter>
#include <QStyleOptionFocusRect>
#include <filesystem>
#include <vector>

#include "core/error.h"
#include "listing/listing.h"
#include "listing/utf8_path.h"
#include "window/path_text.h"

namespace tunelift {
namespace {

// Where each entry keeps its name as it is on disk; its text is only for the eye.
constexpr int kNameOnDisk = Qt::UserRole;

// A name as the list shows it: bytes that are not UTF-8 as the replacement character, control
// characters (a line break in a name, say) as "?".
QString ShownName(const std::string& name) {
  QString shown = ToQString(name);
  for (QChar& c : shown) {
    c = c.category() == QChar::Other_Control ? QChar(u'?') : c;
  }
  return shown;
}

// The names of the plain files in `folder` that match `pattern`, in the order they show.
std::vector<std::string> MatchingNames(const std::string& folder, const std::string& pattern) {
  try {
    return ListMatching(PathFromUtf8(folder), pattern);
  } catch (const std::filesystem::filesystem_error& error) {
    throw Error(errnum::kPathNotFound,
                "Cannot read folder '" + folder + "': " + error.code().message());
  }
}

}  // namespace

FileListBox::FileListBox(std::string pattern, QWidget* parent)
    : QListWidget(parent), pattern_(std::move(pattern)) {
  setSelectionMode(QAbstractItemView::SingleSelection);
}

void FileListBox::SetPath(const std::string& folder) {
  path_ = folder;
  Refresh();
}

int FileListBox::ListIndex() const {
  const QList<QListWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? -1 : row(selected.first());
}

std::string FileListBox::List(int index) const {
  return item(index)->data(kNameOnDisk).toByteArray().toStdString();
}

void FileListBox::Refresh() {
  const int selected = ListIndex();
  const std::string selectedName = selected < 0 ? std::string() : List(selected);
  // A folder that cannot be read leaves the list empty, not showing names that may be gone.
  clear();
  const std::vector<std::string> names = MatchingNames(path_, pattern_);
  for (const std::string& name : names) {
    auto* entry = new QListWidgetItem(ShownName(name), this);
    entry->setData(kNameOnDisk, QByteArray::fromStdString(name));
    if (selected >= 0 && name == selectedName) {
      setCurrentItem(entry);
    }
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
