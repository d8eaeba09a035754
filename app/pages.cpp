#include "app/pages.h"

#include "app/delete_file_page.h"
#include "app/editor_pages.h"
#include "app/list_page.h"
#include "app/restorer_page.h"
#include "managers/bho_list.h"
#include "managers/startups.h"

namespace app {

namespace {

template <typename T, auto... args>
std::unique_ptr<TPage> Make() {
  return std::make_unique<T>(args...);
}

std::unique_ptr<TPage> MakeStartupsPage() {
  using managers::TStartupRow;
  TListFunctions<TStartupRow, managers::TStartupMenu> f{};
  f.fill = &managers::FillStartupList;
  f.item = [](const TStartupRow& row) {
    return TListItem{{row.name, row.data, row.keyText}, row.fileExists ? row.file : std::string()};
  };
  f.menu = &managers::StartupMenuState;
  f.openFolder = &managers::OpenStartupFolder;
  f.properties = &managers::ShowStartupFileProperties;
  f.remove = [](const TStartupRow* row, inspect::TPrompter& prompter) {
    return managers::DeleteStartupItem(row, prompter) != managers::TDeleteResult::NoSelection;
  };
  return std::make_unique<TListPage>("SLV", "PopupMenu2",
                                     std::vector<TListEntry>{{"Refresh2", TListAction::Refresh},
                                                             {"DeleteStartupItem1", TListAction::Delete},
                                                             {"DeleteFile2", TListAction::OpenFolder},
                                                             {"ShowFileProperties2", TListAction::Properties}},
                                     std::make_unique<TListSourceOf<TStartupRow, managers::TStartupMenu>>(f));
}

std::unique_ptr<TPage> MakeBhosPage() {
  using managers::TBhoRow;
  TListFunctions<TBhoRow, managers::TBhoMenu> f{};
  f.fill = &managers::FillBhoList;
  f.item = [](const TBhoRow& row) {
    return TListItem{{row.file, row.clsid, managers::kBhoKeyText}, row.fileExists ? row.file : std::string()};
  };
  f.menu = &managers::BhoMenuState;
  f.openFolder = &managers::OpenBhoFolder;
  f.properties = &managers::ShowBhoFileProperties;
  return std::make_unique<TListPage>("BHO_LV", "PopupMenu1",
                                     std::vector<TListEntry>{{"Refresh1", TListAction::Refresh},
                                                             {"OpenContainingFolder1", TListAction::OpenFolder},
                                                             {"ShowFileProperties1", TListAction::Properties}},
                                     std::make_unique<TListSourceOf<TBhoRow, managers::TBhoMenu>>(f));
}

constexpr TPageRow kPageRows[] = {
    {kPageAnalyzer, nullptr},
    {kPageRestorer, &Make<TRestorerPage>},
    {kPageHosts, &Make<TEditorPage, kPageHosts>},
    {kPageStartups, &MakeStartupsPage},
    {kPageBoot, &Make<TEditorPage, kPageBoot>},
    {kPageSettings, nullptr},
    {kPageBhos, &MakeBhosPage},
    {kPageDeleteFile, &Make<TDeleteFilePage>},
};

// Every page index has its row, in page order.
constexpr bool RowsFollowThePages() {
  if (std::size(kPageRows) != kPageCount) return false;
  for (size_t i = 0; i < std::size(kPageRows); ++i) {
    if (kPageRows[i].place != static_cast<int>(i)) return false;
  }
  return true;
}
static_assert(RowsFollowThePages());

}  // namespace

std::span<const TPageRow> PageRows() { return kPageRows; }

}  // namespace app
