// The fake machine's shell, clipboard and message boxes: each call is recorded and answered
// as the test set.
#include <mutex>

#include "platform/fake/facilities.h"

namespace platform::fake {
namespace {

class FakeShell final : public Shell {
 public:
  explicit FakeShell(MachineState& state) : s_(state), ui_(state.shellUi) {}

  bool ShellExecute(uintptr_t, const std::string& verb, const std::string& file, const std::string& parameters,
                    const std::string& directory, int show) override {
    std::lock_guard lock(s_.mutex);
    ui_.shellExecutions.push_back({verb, file, parameters, directory, show});
    return ui_.shellExecuteSucceeds;
  }

  bool ShellExecuteWait(const std::string& file, const std::string& parameters, int show, uint32_t,
                        uint32_t* exitCode) override {
    std::lock_guard lock(s_.mutex);
    ShellExecution execution{"open", file, parameters, "", show, true};
    ui_.shellExecutions.push_back(execution);
    if (!ui_.shellExecuteSucceeds) return false;
    if (ui_.whileRunning) ui_.whileRunning(execution);
    if (exitCode) *exitCode = 0;
    return true;
  }

  bool ShowProperties(uintptr_t, const std::string& path) override {
    std::lock_guard lock(s_.mutex);
    ui_.propertiesShown.push_back(path);
    return s_.files.Find(path) != nullptr;
  }

 private:
  MachineState& s_;
  ShellUiState& ui_;
};

class FakeClipboard final : public Clipboard {
 public:
  explicit FakeClipboard(MachineState& state) : s_(state), ui_(state.shellUi) {}

  bool SetText(const std::string& text) override {
    std::lock_guard lock(s_.mutex);
    if (ui_.clipboardFails) return false;
    ui_.clipboard = text;
    return true;
  }

  std::string GetText() override {
    std::lock_guard lock(s_.mutex);
    return ui_.clipboard;
  }

 private:
  MachineState& s_;
  ShellUiState& ui_;
};

class FakeUi final : public Ui {
 public:
  explicit FakeUi(MachineState& state) : s_(state), ui_(state.shellUi) {}

  int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) override {
    std::lock_guard lock(s_.mutex);
    ui_.messageBoxes.push_back({text, caption, flags});
    return ui_.messageBoxAnswer;
  }

 private:
  MachineState& s_;
  ShellUiState& ui_;
};

}  // namespace

std::unique_ptr<Shell> MakeShell(MachineState& state) { return std::make_unique<FakeShell>(state); }
std::unique_ptr<Clipboard> MakeClipboard(MachineState& state) { return std::make_unique<FakeClipboard>(state); }
std::unique_ptr<Ui> MakeUi(MachineState& state) { return std::make_unique<FakeUi>(state); }

}  // namespace platform::fake
