#include "copy_steps_win32.h"

#include <cstdint>
#include <vector>

namespace tunelift {
namespace {

// One read and one write at a time; a step is several of them.
constexpr DWORD kBufferSize = 1 << 20;

// Writes all of `bytes`; ERROR_SUCCESS or the error of the failing write.
DWORD WriteAll(HANDLE out, const char* bytes, DWORD length) {
  while (length > 0) {
    DWORD written = 0;
    if (!WriteFile(out, bytes, length, &written, nullptr)) {
      return GetLastError();
    }
    bytes += written;
    length -= written;
  }
  return ERROR_SUCCESS;
}

}  // namespace

DWORD CopyInSteps(HANDLE in, HANDLE out, CopyMeter& meter) {
  std::vector<char> buffer(kBufferSize);
  std::uint64_t inStep = 0;
  while (true) {
    DWORD got = 0;
    if (!ReadFile(in, buffer.data(), kBufferSize, &got, nullptr)) {
      return GetLastError();
    }
    if (got == 0) {
      break;
    }
    const DWORD wrote = WriteAll(out, buffer.data(), got);
    if (wrote != ERROR_SUCCESS) {
      return wrote;
    }
    inStep += got;
    if (inStep >= kCopyStep) {
      const bool goOn = meter.Step(inStep);
      inStep = 0;
      if (!goOn) {
        return ERROR_REQUEST_ABORTED;
      }
    }
  }
  if (inStep > 0 && !meter.Step(inStep)) {
    return ERROR_REQUEST_ABORTED;
  }
  // On the disk before it takes the real name, so that a crash cannot leave a short file there.
  return FlushFileBuffers(out) ? ERROR_SUCCESS : GetLastError();
}

}  // namespace tunelift
