#include "window/file_list_box.h"

#include <QPainter>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "core/error.h"
#include "core/wildcard.h"
#include "window/path_text.h"

namespace tunelift {
namespace {

namespace fs = std::filesystem;

bool IsHidden(const std::string& name) {
  return name.starts_with('.');
}

[[noreturn]] void ThrowUnreadable(const std::string& folder, const std::error_code& reason) {
  throw Error(errnum::kPathNotFound, "Cannot read folder '" + folder + "': " + reason.message());
}

bool ShowsInList(const fs::directory_entry& entry, const std::string& pattern) {
  std::error_code ignored;  // an entry that vanished while being read is simply not listed
  const std::string name = entry.path().filename().string();
  return entry.is_regular_file(ignored) && !IsHidden(name) && WildcardMatch(pattern, name);
}

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

bool ComesBefore(const std::string& a, const std::string& b) {
  const int folded = ToQString(a).compare(ToQString(b), Qt::CaseInsensitive);
  return folded != 0 ? folded < 0 : a < b;
}

// The names of the plain files in `folder` that match `pattern`, in the order they show.
std::vector<std::string> MatchingNames(const std::string& folder, const std::string& pattern) {
  std::error_code reason;
  std::vector<std::string> names;
  for (fs::directory_iterator entry(fs::path(folder), reason);
       !reason && entry != fs::directory_iterator(); entry.increment(reason)) {
    if (ShowsInList(*entry, pattern)) {
      names.push_back(entry->path().filename().string());
    }
  }
  if (reason) {
    ThrowUnreadable(folder, reason);
  }
  std::ranges::sort(names, ComesBefore);
  return names;
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
