// The pages of the main window's page area, one row each: its page index and how its object is
// made. The Analyzer and Settings pages belong to the window itself (the scan and the saved
// settings go through them); every other page is made here.
#pragma once

#include <memory>

#include "app/controls.h"
#include "app/page.h"

namespace app {

struct TPageRow {
  TPlace place;
  std::unique_ptr<TPage> (*make)();
};

// Rows for every page but kPageAnalyzer and kPageSettings.
extern const TPageRow kPageRows[kPageCount - 2];

}  // namespace app
