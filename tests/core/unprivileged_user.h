#pragma once
// Runs part of a test as a real unprivileged user: in a child process that, when the test
// runs as root, drops to the user nobody (as setpriv --reuid/--regid does) before it acts.
// Root passes every permission check, so only such a user meets the failures under test.

#include <sys/types.h>

#include <functional>
#include <string>

namespace tunelift::testing {

inline constexpr uid_t kNobody = 65534;
inline constexpr gid_t kNoGroup = 65534;

// True when the test can make files that belong to another user than the one acting.
bool CanActForAnotherUser();

// The user id the child acts as: nobody under root, else the test's own.
uid_t ActingUser();

// Runs `action` in the child and returns the text it gave back. A child that ends any other
// way (a crash, a signal, a failure to drop rights) yields a text that says so.
std::string AsUnprivilegedUser(const std::function<std::string()>& action);

}  // namespace tunelift::testing
