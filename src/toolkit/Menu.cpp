#include "Menu.h"

namespace kelvara::toolkit {

MenuItem::MenuItem(std::wstring_view name, std::wstring_view caption, MenuItem* parent)
    : name_(name), caption_(caption), parent_(parent) {}

MenuItem& Menu::Add(MenuItem* parent, std::wstring_view name, std::wstring_view caption) {
  entries_.push_back(std::make_unique<MenuItem>(name, caption, parent));
  MenuItem& item = *entries_.back();
  item.id_ = static_cast<UINT>(entries_.size());  // 1-based: 0 means "nothing chosen"
  if (parent) parent->children_.push_back(&item);
  return item;
}

MenuItem* Menu::Find(std::wstring_view name) const {
  for (const auto& e : entries_)
    if (e->name_ == name) return e.get();
  return nullptr;
}

std::vector<MenuItem*> Menu::TopLevel() const {
  std::vector<MenuItem*> top;
  for (const auto& e : entries_)
    if (!e->parent_) top.push_back(e.get());
  return top;
}

void Menu::AppendTo(HMENU menu, const std::vector<MenuItem*>& items) const {
  for (const MenuItem* item : items) {
    if (!item->visible_) continue;
    if (item->IsSeparator()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING;
    if (item->checked_) flags |= MF_CHECKED;
    if (!item->enabled_) flags |= MF_GRAYED;
    if (!item->children_.empty()) {
      HMENU sub = CreatePopupMenu();
      AppendTo(sub, item->children_);
      // The parent menu owns the sub-menu from here on and destroys it with itself.
      AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item->caption_.c_str());
    } else {
      AppendMenuW(menu, flags, item->id_, item->caption_.c_str());
    }
  }
}

UniqueHmenu Menu::BuildPopup() const {
  UniqueHmenu menu(CreatePopupMenu());
  if (menu) AppendTo(menu.get(), TopLevel());
  return menu;
}

bool Menu::Dispatch(UINT commandId) const {
  if (commandId == 0 || commandId > entries_.size()) return false;
  const MenuItem& item = *entries_[commandId - 1];
  if (!item.onClick) return false;
  item.onClick();
  return true;
}

}  // namespace kelvara::toolkit
