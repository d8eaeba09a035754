#include "app/manager_pages.h"

namespace app {

void TManagerPages::Create(const std::array<HWND, scan::kPageCount>& pages, HWND window,
                           inspect::TPrompter* prompter) {
  startups.Create(pages[scan::kPageStartups], window, prompter);
  bhos.Create(pages[scan::kPageBhos], window);
  editors.Create(pages[scan::kPageHosts], pages[scan::kPageBoot], prompter);
  deleteFile.Create(pages[scan::kPageDeleteFile], prompter);
}

}  // namespace app
