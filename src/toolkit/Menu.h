// Pop-up menus kept as a tree of entries with their own states; the Win32 menu is built from
// the tree each time it is shown, so hidden entries simply are not put in.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Handles.h"

namespace kelvara::toolkit {

class MenuItem {
 public:
  MenuItem(std::wstring_view name, std::wstring_view caption, MenuItem* parent);

  const std::wstring& Name() const { return name_; }
  const std::wstring& Caption() const { return caption_; }
  MenuItem* ParentItem() const { return parent_; }
  const std::vector<MenuItem*>& Children() const { return children_; }
  // A caption of "-" makes a separator line, as in the designs.
  bool IsSeparator() const { return caption_ == L"-"; }

  bool Checked() const { return checked_; }
  void SetChecked(bool checked) { checked_ = checked; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }

  std::function<void()> onClick;

 private:
  friend class Menu;
  std::wstring name_, caption_;
  MenuItem* parent_;
  std::vector<MenuItem*> children_;
  bool checked_ = false, enabled_ = true, visible_ = true;
  UINT id_ = 0;
};

class Menu {
 public:
  Menu() = default;
  Menu(const Menu&) = delete;
  Menu& operator=(const Menu&) = delete;

  // Adds an entry at the end of `parent`'s entries (of the top level when parent is null).
  MenuItem& Add(MenuItem* parent, std::wstring_view name, std::wstring_view caption);
  MenuItem* Find(std::wstring_view name) const;
  std::vector<MenuItem*> TopLevel() const;
  // Every entry in stored order (depth first).
  const std::vector<std::unique_ptr<MenuItem>>& Entries() const { return entries_; }

  // A pop-up menu of the visible entries in their present states. The command id of an entry
  // is what TrackPopupMenuEx returns for it and what Dispatch takes.
  UniqueHmenu BuildPopup() const;
  UINT CommandId(const MenuItem& item) const { return item.id_; }
  // Runs the click handler of the entry with this command id; false when there is none.
  bool Dispatch(UINT commandId) const;

 private:
  void AppendTo(HMENU menu, const std::vector<MenuItem*>& items) const;
  std::vector<std::unique_ptr<MenuItem>> entries_;
};

}  // namespace kelvara::toolkit
