#include "platform/win32/win32_common.h"

#include <cstring>

namespace platform::win32 {
namespace {

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

class Win32Shell final : public Shell {
 public:
  bool ShellExecute(uintptr_t window, const std::string& verb, const std::string& file,
                    const std::string& parameters, const std::string& directory, int show) override {
    HINSTANCE result = ::ShellExecuteA(reinterpret_cast<HWND>(window), OrNull(verb), file.c_str(),
                                       OrNull(parameters), OrNull(directory), show);
    return reinterpret_cast<INT_PTR>(result) > 32;
  }

  bool ShellExecuteWait(const std::string& file, const std::string& parameters, int show, uint32_t timeout,
                        uint32_t* exitCode) override {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    info.lpFile = file.c_str();
    info.lpParameters = OrNull(parameters);
    info.nShow = show;
    if (!::ShellExecuteExA(&info) || !info.hProcess) return false;
    DWORD code = 0;
    const bool ended = ::WaitForSingleObject(info.hProcess, timeout) == WAIT_OBJECT_0 &&
                       ::GetExitCodeProcess(info.hProcess, &code);
    ::CloseHandle(info.hProcess);
    if (ended && exitCode) *exitCode = code;
    return ended;
  }

  bool ShowProperties(uintptr_t window, const std::string& path) override {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = reinterpret_cast<HWND>(window);
    info.lpVerb = "properties";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOW;
    BOOL ok = ::ShellExecuteExA(&info);
    if (ok && info.hProcess) ::CloseHandle(info.hProcess);
    return ok != FALSE;
  }
};

class Win32Clipboard final : public Clipboard {
 public:
  bool SetText(const std::string& text) override {
    if (!::OpenClipboard(nullptr)) return false;
    bool ok = false;
    if (::EmptyClipboard()) {
      HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
      if (void* bytes = memory ? ::GlobalLock(memory) : nullptr) {
        std::memcpy(bytes, text.c_str(), text.size() + 1);
        ::GlobalUnlock(memory);
        ok = ::SetClipboardData(CF_TEXT, memory) != nullptr;
      }
      if (!ok && memory) ::GlobalFree(memory);  // the clipboard owns it only after success
    }
    ::CloseClipboard();
    return ok;
  }

  std::string GetText() override {
    if (!::OpenClipboard(nullptr)) return "";
    std::string text;
    if (HANDLE memory = ::GetClipboardData(CF_TEXT)) {
      if (const char* bytes = static_cast<const char*>(::GlobalLock(memory))) {
        text.assign(bytes, strnlen(bytes, ::GlobalSize(memory)));
        ::GlobalUnlock(memory);
      }
    }
    ::CloseClipboard();
    return text;
  }
};

class Win32Ui final : public Ui {
 public:
  int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) override {
    return ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), flags);
  }
};

}  // namespace

Shell& ShellFacility() {
  static Win32Shell shell;
  return shell;
}

Clipboard& ClipboardFacility() {
  static Win32Clipboard clipboard;
  return clipboard;
}

Ui& UiFacility() {
  static Win32Ui ui;
  return ui;
}

}  // namespace platform::win32
