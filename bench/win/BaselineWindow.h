// The yardstick for the main window's lookup: the same word box, list and meaning box in a
// plain window, but the list an ordinary list box that keeps a copy of every headword, rebuilt
// with one LB_ADDSTRING per match. It runs the same engine on the same dictionary, so only the
// filling of the list differs.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "frmMain.h"
#include "lookup/Dictionary.h"
#include "lookup/SearchWords.h"

namespace kelvara::bench {

class BaselineWindow {
 public:
  BaselineWindow() = default;
  BaselineWindow(const BaselineWindow&) = delete;
  BaselineWindow& operator=(const BaselineWindow&) = delete;
  ~BaselineWindow();

  // A copy of `model`'s size, styles, fonts and the places of its three lookup controls, shown
  // with its top-left corner at (left, top). The model must outlive this window (its fonts are
  // shared).
  bool Create(const frmMain& model, int left, int top);

  // What the word box's change handler does, the plain way: the text assigned, the query run
  // (with the suggestions when nothing matches, as in the main window), the list cleared and
  // refilled entry by entry, the meaning set. With `redrawOff` the list is
  // filled with drawing switched off and its storage reserved first: the best a plain list box
  // can do.
  void Lookup(const Dictionary& dict, const std::wstring& word, bool redrawOff = false);
  // The list part of Lookup alone.
  void FillList(const Matches& matches, bool redrawOff = false);

  HWND hWnd() const { return window_; }
  HWND WordBoxHwnd() const { return word_; }
  HWND ListHwnd() const { return list_; }
  int ListCount() const;
  std::wstring ListText(int index) const;
  std::wstring Meaning() const;

 private:
  void Fill(size_t count, const std::function<std::string_view(size_t)>& entryAt, bool redrawOff);

  HWND window_ = nullptr;
  HWND word_ = nullptr, list_ = nullptr, meaning_ = nullptr;
};

}  // namespace kelvara::bench
