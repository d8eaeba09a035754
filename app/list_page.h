// A page that is one manager list with its context menu (the Startups and BHOs pages). What it
// lists and what its entries do come from managers/ through a TListSource.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/list_view.h"
#include "app/page.h"

namespace app {

// What a context-menu entry of a list does.
enum class TListAction : uint8_t { Refresh, Delete, OpenFolder, Properties };

struct TListItem {
  std::vector<std::string> cells;
  std::string iconFile;  // empty: no icon
};

// The rows of a list and the work of its entries; `row` is an index into the last Fill, -1 for none.
class TListSource {
 public:
  virtual ~TListSource() = default;
  virtual std::vector<TListItem> Fill() = 0;
  virtual bool Enabled(TListAction action, int row) const = 0;
  // True when the list is to be filled again.
  virtual bool Run(TListAction action, int row, HWND window, inspect::TPrompter& prompter) = 0;
};

// A menu entry of the page's popup row (by name) and its action.
struct TListEntry {
  const char* name;
  TListAction action;
};

class TListPage final : public TPage {
 public:
  TListPage(const char* list, const char* popup, std::vector<TListEntry> entries, std::unique_ptr<TListSource> source);
  void Create(HWND page, const TPageContext& context) override;
  void Enter() override { Fill(); }
  void ApplyCaptions() override { list_.ApplyCaptions(); }
  bool Command(int id, int code) override;
  bool Notify(const NMHDR& header) override;
  bool ContextMenu(HWND control, POINT screen) override;

 private:
  void Fill();
  void Run(TListAction action);
  const TListEntry* EntryOf(int id) const;
  bool Has(TListAction action) const;

  const char* listName_;
  const char* popupName_;
  std::vector<TListEntry> entries_;
  std::unique_ptr<TListSource> source_;
  HWND window_ = nullptr;
  inspect::TPrompter* prompter_ = nullptr;
  TManagerList list_;
};

// A source over a managers/ list of `Row`s: its fill, its item, its menu state and its actions.
// `Menu` has refresh, openFolder and properties, and deleteItem when the list deletes rows.
template <typename Row, typename Menu>
struct TListFunctions {
  std::vector<Row> (*fill)();
  TListItem (*item)(const Row&);
  Menu (*menu)(const Row*);
  bool (*openFolder)(const Row*);
  bool (*properties)(uintptr_t, const Row*);
  bool (*remove)(const Row*, inspect::TPrompter&) = nullptr;  // true when a row was acted on
};

template <typename Row, typename Menu>
class TListSourceOf final : public TListSource {
 public:
  explicit TListSourceOf(TListFunctions<Row, Menu> functions) : f_(functions) {}

  std::vector<TListItem> Fill() override {
    rows_ = f_.fill();
    std::vector<TListItem> items;
    items.reserve(rows_.size());
    for (const Row& row : rows_) items.push_back(f_.item(row));
    return items;
  }
  bool Enabled(TListAction action, int row) const override {
    const Menu menu = f_.menu(At(row));
    switch (action) {
      case TListAction::Refresh: return menu.refresh;
      case TListAction::OpenFolder: return menu.openFolder;
      case TListAction::Properties: return menu.properties;
      case TListAction::Delete:
        if constexpr (requires { menu.deleteItem; }) return menu.deleteItem;
        return false;
    }
    return false;
  }
  bool Run(TListAction action, int row, HWND window, inspect::TPrompter& prompter) override {
    switch (action) {
      case TListAction::Refresh: return true;
      case TListAction::OpenFolder: f_.openFolder(At(row)); return false;
      case TListAction::Properties: f_.properties(reinterpret_cast<uintptr_t>(window), At(row)); return false;
      case TListAction::Delete: return f_.remove && f_.remove(At(row), prompter);
    }
    return false;
  }

 private:
  const Row* At(int row) const {
    return row >= 0 && static_cast<size_t>(row) < rows_.size() ? &rows_[static_cast<size_t>(row)] : nullptr;
  }
  TListFunctions<Row, Menu> f_;
  std::vector<Row> rows_;  // what the list shows, by item index
};

}  // namespace app
