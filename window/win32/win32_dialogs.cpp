#include "window/win32/win32_dialogs.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/win32_error.h"
#include "text/wide_text_win32.h"
#include "owner_middle.h"
#include "progress_window.h"

namespace tunelift {
namespace {

static_assert(msgbox::kOkOnly == MB_OK && msgbox::kYesNo == MB_YESNO);
static_assert(msgbox::kIconQuestion == MB_ICONQUESTION &&
              msgbox::kIconExclamation == MB_ICONEXCLAMATION &&
              msgbox::kIconInformation == MB_ICONINFORMATION &&
              msgbox::kIconCritical == MB_ICONHAND);
static_assert(msgbox::kIdOk == IDOK && msgbox::kIdYes == IDYES && msgbox::kIdNo == IDNO);
static_assert(ofn::kHideReadOnly == OFN_HIDEREADONLY && ofn::kFileMustExist == OFN_FILEMUSTEXIST &&
              ofn::kExplorer == OFN_EXPLORER && ofn::kLongNames == OFN_LONGNAMES);

// Room for any path the dialog can return: the longest a Win32 path can be.
constexpr std::size_t kFileBufferLength = 32768;

// The owner the thread's next dialog is centred on (none once it has been), for the hook.
thread_local HWND centreOwner = nullptr;

// "Description|pattern|Description|pattern" as the dialog takes it: each part ended by a
// NUL, the whole by a second one.
std::wstring FilterPairs(const std::string& filter) {
  std::wstring pairs = Wide(filter);
  std::replace(pairs.begin(), pairs.end(), L'|', L'\0');
  pairs.append(2, L'\0');
  return pairs;
}

// What each of CommDlgExtendedError's numbers means, in the words of its documentation.
std::string_view DialogErrorWords(unsigned long code) {
  switch (code) {
    case CDERR_DIALOGFAILURE: return "The dialog box could not be created.";
    case CDERR_STRUCTSIZE: return "The dialog was given a structure of the wrong size.";
    case CDERR_INITIALIZATION:
      return "The dialog failed during initialization; memory may be short.";
    case CDERR_NOTEMPLATE: return "The dialog's template is missing.";
    case CDERR_NOHINSTANCE: return "The dialog's template has no instance handle.";
    case CDERR_LOADSTRFAILURE: return "The dialog could not load a string.";
    case CDERR_FINDRESFAILURE: return "The dialog could not find a resource.";
    case CDERR_LOADRESFAILURE: return "The dialog could not load a resource.";
    case CDERR_LOCKRESFAILURE: return "The dialog could not lock a resource.";
    case CDERR_MEMALLOCFAILURE: return "The dialog could not allocate memory.";
    case CDERR_MEMLOCKFAILURE: return "The dialog could not lock memory.";
    case CDERR_NOHOOK: return "The dialog's hook procedure is missing.";
    case CDERR_REGISTERMSGFAIL: return "The dialog could not register a window message.";
    case FNERR_SUBCLASSFAILURE: return "The dialog could not subclass a list box; memory is short.";
    case FNERR_INVALIDFILENAME: return "A file name is invalid.";
    case FNERR_BUFFERTOOSMALL: return "The chosen file's name is too long for the dialog's buffer.";
    default: return "The open-file dialog failed.";
  }
}

LRESULT CALLBACK CentreWhenActivated(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && centreOwner != nullptr) {
    const HWND activated = reinterpret_cast<HWND>(wParam);
    if (GetWindow(activated, GW_OWNER) == centreOwner) {
      MoveIntoMiddle(activated, centreOwner);
      centreOwner = nullptr;  // the user may move it afterwards
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// One call of GetOpenFileNameW for `settings`: the structure and the texts it points into.
class OpenFileRequest {
public:
  // Throws tunelift::Error for a setting that is not UTF-8 text.
  OpenFileRequest(const OpenFileSettings& settings, HWND owner);
  OpenFileRequest(const OpenFileRequest&) = delete;
  OpenFileRequest& operator=(const OpenFileRequest&) = delete;

  OPENFILENAMEW& Get() { return request_; }
  // The chosen file's full path, once the dialog has returned it.
  std::string ChosenPath() const;

private:
  std::wstring filter_;
  std::wstring initDir_;
  std::wstring title_;
  std::vector<wchar_t> file_;
  OPENFILENAMEW request_{};
};

// While it lives, the first dialog or message box this thread shows for `owner` is moved into
// the middle of the owner, within the owner's screen, as soon as it is activated. Without a
// visible owner, the dialog stays where the system puts it.
class CentreOnOwner {
public:
  explicit CentreOnOwner(HWND owner);
  ~CentreOnOwner();
  CentreOnOwner(const CentreOnOwner&) = delete;
  CentreOnOwner& operator=(const CentreOnOwner&) = delete;

private:
  HWND previousOwner_;
  HHOOK hook_;
};

CentreOnOwner::CentreOnOwner(HWND owner)
    : previousOwner_(centreOwner),
      hook_(SetWindowsHookExW(WH_CBT, CentreWhenActivated, nullptr, GetCurrentThreadId())) {
  const bool ownerShows = owner != nullptr && IsWindowVisible(owner);
  // Without its hook the dialog only shows where the system puts it; that is no failure.
  centreOwner = hook_ != nullptr && ownerShows ? owner : nullptr;
}

CentreOnOwner::~CentreOnOwner() {
  if (hook_ != nullptr) {
    UnhookWindowsHookEx(hook_);
  }
  centreOwner = previousOwner_;
}

OpenFileRequest::OpenFileRequest(const OpenFileSettings& settings, HWND owner)
    : filter_(FilterPairs(settings.filter)),
      initDir_(Wide(settings.initDir)),
      title_(Wide(settings.dialogTitle)),
      file_(kFileBufferLength, L'\0') {
  request_.lStructSize = sizeof request_;
  request_.hwndOwner = owner;
  request_.lpstrFilter = filter_.c_str();
  request_.nFilterIndex = static_cast<DWORD>(settings.filterIndex);
  request_.lpstrFile = file_.data();
  request_.nMaxFile = static_cast<DWORD>(file_.size());
  request_.lpstrInitialDir = initDir_.empty() ? nullptr : initDir_.c_str();
  request_.lpstrTitle = title_.empty() ? nullptr : title_.c_str();
  request_.Flags = static_cast<DWORD>(settings.flags);
}

std::string OpenFileRequest::ChosenPath() const {
  return Utf8FromWide(std::wstring_view(file_.data()));
}

// The error for a dialog that failed with CommDlgExtendedError's `code`: that number and what
// it means.
Error DialogError(unsigned long code) {
  return Error(static_cast<int>(code), std::string(DialogErrorWords(code)));
}

}  // namespace

HWND Win32Dialogs::LiveOwner() const {
  return owner_ != nullptr && IsWindow(owner_) ? owner_ : nullptr;
}

std::string Win32Dialogs::ShowOpen(const OpenFileSettings& settings) {
  OpenFileRequest request(settings, LiveOwner());
  BOOL chosen = FALSE;
  {
    CentreOnOwner centre(LiveOwner());
    chosen = GetOpenFileNameW(&request.Get());
  }
  if (chosen) {
    return request.ChosenPath();
  }
  const DWORD failure = CommDlgExtendedError();
  if (failure != 0) {
    throw DialogError(failure);
  }
  if (settings.cancelError) {
    throw Error(kCancelErrorNumber, "Cancel was selected.");
  }
  return {};
}

std::unique_ptr<ProgressDialog> Win32Dialogs::ShowProgress(const ProgressText& text) {
  return ShowWin32Progress(text, LiveOwner());
}

int Win32Dialogs::MsgBox(const std::string& prompt, int style, const std::string& title) {
  const std::wstring text = WideForDisplay(prompt);
  const std::wstring caption = WideForDisplay(title.empty() ? kApplicationTitle : title);
  const HWND owner = LiveOwner();
  CentreOnOwner centre(owner);
  const int answer = MessageBoxW(owner, text.c_str(), caption.c_str(), static_cast<UINT>(style));
  if (answer == 0) {
    throw LastWin32Error("Cannot show the message box \"" + prompt + "\"");
  }
  return answer;
}

}  // namespace tunelift
