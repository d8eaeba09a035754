// The pages of the main window's page area, one row each: its page index and how its object is
// made. The Analyzer and Settings pages belong to the window itself (the scan and the saved
// settings go through them): their rows make nothing.
#pragma once

#include <memory>
#include <span>

#include "app/controls.h"
#include "app/page.h"

namespace app {

struct TPageRow {
  TPlace place;
  std::unique_ptr<TPage> (*make)();  // null: the window's own page
};

// One row per page index, in page order.
std::span<const TPageRow> PageRows();

}  // namespace app
