#include "app/manager_pages.h"

#include <exception>

#include "inspect/system.h"

namespace app {

namespace {

// A handler's failure is logged and the window goes on.
template <typename Work>
bool Guarded(Work work) {
  try {
    return work();
  } catch (const std::exception& error) {
    inspect::WriteDebugLog(inspect::DebugLogEntry(error));
  } catch (...) {
  }
  return true;
}

}  // namespace

void TManagerPages::Create(const std::array<HWND, scan::kPageCount>& pages, HWND window,
                           inspect::TPrompter* prompter) {
  startups.Create(pages[scan::kPageStartups], window, prompter);
  bhos.Create(pages[scan::kPageBhos], window);
  editors.Create(pages[scan::kPageHosts], pages[scan::kPageBoot], prompter);
  deleteFile.Create(pages[scan::kPageDeleteFile], prompter);
}

void TManagerPages::ApplyCaptions() {
  startups.ApplyCaptions();
  bhos.ApplyCaptions();
  editors.ApplyCaptions();
  deleteFile.ApplyCaptions();
}

bool TManagerPages::Command(int id, int code) {
  return Guarded([&] {
    return startups.Command(id, code) || bhos.Command(id, code) || editors.Command(id, code) ||
           deleteFile.Command(id, code);
  });
}

bool TManagerPages::Notify(const NMHDR& header) {
  return Guarded([&] { return startups.Notify(header) || bhos.Notify(header) || editors.Notify(header); });
}

bool TManagerPages::ContextMenu(HWND control, LPARAM position) {
  const POINT screen{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
  return Guarded([&] { return startups.ContextMenu(control, screen) || bhos.ContextMenu(control, screen); });
}

}  // namespace app
