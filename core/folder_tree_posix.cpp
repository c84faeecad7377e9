#include "folder_tree_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "no_follow_posix.h"
#include "posix_error.h"

namespace tunelift {
namespace {

// One entry as the check sees it: its type, rights, owner, device and attributes.
struct EntryInfo {
  struct statx info {};
  bool IsFolder() const { return S_ISDIR(info.stx_mode); }
  bool Has(unsigned long long attribute) const {
    return (info.stx_attributes_mask & attribute) != 0 && (info.stx_attributes & attribute) != 0;
  }
};

class TreeDeletion {
public:
  explicit TreeDeletion(const std::string& path) : what_("Cannot delete folder '" + path + "'") {}

  const std::string& what() const { return what_; }

  // Raises what would stop the deletion of `name` in the open folder `folder`.
  void CheckEntry(int folder, const EntryInfo& folderInfo, const std::string& folderPath,
                  const std::string& name, int depth) const {
    const std::string path = folderPath + "/" + name;
    const EntryInfo entry = Stat(folder, name, path);
    if (S_ISREG(entry.info.stx_mode) && (entry.info.stx_mode & S_IWUSR) == 0) {
      Refuse(errnum::kPermissionDenied, "'" + path + "' is read-only");
    }
    if ((folderInfo.info.stx_mode & S_ISVTX) != 0 && geteuid() != 0 &&
        entry.info.stx_uid != geteuid() && folderInfo.info.stx_uid != geteuid()) {
      Refuse(errnum::kPermissionDenied,
             "'" + path + "' belongs to another user, in a folder that keeps others' files");
    }
    if (entry.Has(STATX_ATTR_IMMUTABLE) || entry.Has(STATX_ATTR_APPEND)) {
      Refuse(errnum::kPermissionDenied, "'" + path + "' is marked immutable or append-only");
    }
    if (!entry.IsFolder()) {
      return;
    }
    const bool otherDevice = entry.info.stx_dev_major != folderInfo.info.stx_dev_major ||
                             entry.info.stx_dev_minor != folderInfo.info.stx_dev_minor;
    if (otherDevice || entry.Has(STATX_ATTR_MOUNT_ROOT)) {
      Refuse(errnum::kFileAlreadyOpen, "'" + path + "' is where another file system is mounted");
    }
    if (depth >= kMaxFolderDepth) {
      Refuse(errnum::kPathFileAccess,
             "'" + path + "' lies more than " + std::to_string(kMaxFolderDepth) + " folders deep");
    }
    const Descriptor inner = OpenInner(folder, name, path);
    const std::vector<std::string> names = Names(inner.get(), path);
    if (!names.empty() && faccessat(inner.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
      Refuse(errnum::kPermissionDenied,
             "nothing can be deleted from '" + path + "': " + std::strerror(errno));
    }
    for (const std::string& innerName : names) {
      CheckEntry(inner.get(), entry, path, innerName, depth + 1);
    }
  }

  // Deletes `name` in `folder`, a folder with everything in it.
  void DeleteEntry(int folder, const std::string& folderPath, const std::string& name) const {
    const std::string path = folderPath + "/" + name;
    struct stat info {};
    if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      throw SystemError(what_ + ": '" + path + "'", errno);
    }
    if (S_ISDIR(info.st_mode)) {
      const Descriptor inner = OpenInner(folder, name, path);
      for (const std::string& innerName : Names(inner.get(), path)) {
        DeleteEntry(inner.get(), path, innerName);
      }
    }
    if (unlinkat(folder, name.c_str(), S_ISDIR(info.st_mode) ? AT_REMOVEDIR : 0) != 0) {
      throw SystemError(what_ + ": '" + path + "'", errno);
    }
  }

  EntryInfo Stat(int folder, const std::string& name, const std::string& path) const {
    EntryInfo entry;
    const unsigned int wanted = STATX_TYPE | STATX_MODE | STATX_UID;
    if (statx(folder, name.c_str(), AT_SYMLINK_NOFOLLOW, wanted, &entry.info) != 0) {
      throw SystemError(what_ + ": '" + path + "'", errno);
    }
    return entry;
  }

private:
  [[noreturn]] void Refuse(int number, const std::string& reason) const {
    throw Error(number, what_ + ": " + reason + "; nothing was deleted");
  }

  Descriptor OpenInner(int folder, const std::string& name, const std::string& path) const {
    Descriptor inner(openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!inner.valid()) {
      throw SystemError(what_ + ": '" + path + "'", errno);
    }
    return inner;
  }

  // The names in the open folder, "." and ".." left out.
  std::vector<std::string> Names(int folder, const std::string& path) const {
    // The listing gets a descriptor of its own, rewound, so `folder` stays usable.
    DIR* listing = fdopendir(fcntl(folder, F_DUPFD_CLOEXEC, 0));
    if (listing == nullptr) {
      throw SystemError(what_ + ": '" + path + "'", errno);
    }
    rewinddir(listing);
    std::vector<std::string> names;
    errno = 0;
    for (const dirent* entry = readdir(listing); entry != nullptr; entry = readdir(listing)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") {
        names.push_back(name);
      }
    }
    const int error = errno;
    closedir(listing);
    if (error != 0) {
      throw SystemError(what_ + ": '" + path + "'", error);
    }
    return names;
  }

  std::string what_;
};

}  // namespace

void DeleteFolderTree(const std::string& path) {
  const TreeDeletion deletion(path);
  const NameInFolder top = OpenParentNoFollow(path, deletion.what());
  const EntryInfo parent = deletion.Stat(top.folder.get(), ".", top.folderPath);
  if (faccessat(top.folder.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
    throw SystemError(deletion.what() + ": '" + top.folderPath + "' cannot be written", errno);
  }
  const EntryInfo entry = deletion.Stat(top.folder.get(), top.name, path);
  if (!entry.IsFolder() && !S_ISLNK(entry.info.stx_mode)) {
    throw Error(errnum::kPathNotFound, deletion.what() + ": it is not a folder");
  }
  deletion.CheckEntry(top.folder.get(), parent, top.folderPath, top.name, 0);
  deletion.DeleteEntry(top.folder.get(), top.folderPath, top.name);
}

}  // namespace tunelift
