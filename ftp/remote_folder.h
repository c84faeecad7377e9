#pragma once
// The server's current folder as the libcurl transport keeps it: libcurl names the folder of
// each transfer in the transfer's URL rather than keeping a CWD of its own between transfers.

#include <string>
#include <string_view>
#include <vector>

namespace tunelift::ftp {

struct RemoteFolder {
  // Counted from the server's root ("/..."), not from the folder the login starts in.
  bool absolute = false;
  std::vector<std::string> segments;

  // The folder that `change`, as "cd" takes it, leads to from this one: a leading "/" starts
  // at the root, ".." goes up one level (or is kept when there is nothing left to go up from
  // below the login folder), "." and empty parts change nothing.
  RemoteFolder Changed(std::string_view change) const;

  bool operator==(const RemoteFolder&) const = default;
};

}  // namespace tunelift::ftp
