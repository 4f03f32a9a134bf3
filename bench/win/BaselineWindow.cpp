#include "BaselineWindow.h"

#include "lookup/SearchWords.h"
#include "lookup/Suggest.h"
#include "toolkit/Utf.h"

namespace kelvara::bench {

namespace {

constexpr wchar_t kClassName[] = L"KelvaraBenchBaseline";

ATOM RegisterBaselineClass() {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc);
  }();
  return atom;
}

std::wstring WindowText(HWND hwnd) {
  const auto length = static_cast<size_t>(GetWindowTextLengthW(hwnd));
  std::wstring text(length + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

// A child in the same place, with the same styles and font as `model`.
HWND CopyChild(HWND parent, const wchar_t* className, const toolkit::Control& model, DWORD dropStyles,
               DWORD addStyles) {
  const DWORD style = (static_cast<DWORD>(GetWindowLongW(model.hWnd(), GWL_STYLE)) & ~dropStyles) | addStyles;
  const auto exStyle = static_cast<DWORD>(GetWindowLongW(model.hWnd(), GWL_EXSTYLE));
  HWND hwnd = CreateWindowExW(exStyle, className, L"", style | WS_CHILD, model.Left(), model.Top(),
                              model.Width(), model.Height(), parent, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  if (hwnd) SendMessageW(hwnd, WM_SETFONT, static_cast<WPARAM>(SendMessageW(model.hWnd(), WM_GETFONT, 0, 0)), FALSE);
  return hwnd;
}

}  // namespace

BaselineWindow::~BaselineWindow() {
  if (window_) DestroyWindow(window_);
}

bool BaselineWindow::Create(const frmMain& model, int left, int top) {
  if (window_ || !model.hWnd() || !RegisterBaselineClass()) return false;
  RECT r{};
  GetWindowRect(model.hWnd(), &r);
  const auto style = static_cast<DWORD>(GetWindowLongW(model.hWnd(), GWL_STYLE)) & ~WS_VISIBLE;
  window_ = CreateWindowExW(0, kClassName, L"Baseline: plain list box", style, left, top,
                            r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (!window_) return false;
  word_ = CopyChild(window_, L"EDIT", model.txtWord, 0, 0);
  // The ordinary list box: it stores its own strings and draws them itself. The model's style
  // shows its scroll bar only while its list is long: the plain list has one like it, shown
  // when needed.
  list_ = CopyChild(window_, L"LISTBOX", model.lstWords,
                    LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE | LBS_NODATA | LBS_SORT, WS_VSCROLL);
  meaning_ = CopyChild(window_, L"EDIT", model.txtExp, 0, 0);
  if (!word_ || !list_ || !meaning_) return false;
  ShowWindow(window_, SW_SHOWNOACTIVATE);
  UpdateWindow(window_);
  return true;
}

void BaselineWindow::Lookup(const Dictionary& dict, const std::wstring& word, bool redrawOff) {
  SetWindowTextW(word_, word.c_str());
  const std::wstring text = WindowText(word_);
  if (text.empty()) return;
  // The same lookup as the main window's: when nothing matches, the suggestions are listed.
  const SearchResult result = LookUpWord(dict, toolkit::WideToUtf8(text));
  if (result.matches.empty()) {
    Fill(result.suggestions.size(), [&](size_t i) { return std::string_view(result.suggestions[i]); }, redrawOff);
  } else {
    FillList(result.matches, redrawOff);
  }
  SetWindowTextW(meaning_, toolkit::Utf8ToWide(result.meaningText).c_str());
}

void BaselineWindow::FillList(const Matches& matches, bool redrawOff) {
  Fill(matches.size(), [&](size_t i) { return matches.Headword(i); }, redrawOff);
}

void BaselineWindow::Fill(size_t count, const std::function<std::string_view(size_t)>& entryAt, bool redrawOff) {
  if (redrawOff) SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  if (redrawOff) SendMessageW(list_, LB_INITSTORAGE, count, count * 24);
  for (size_t i = 0; i < count; ++i) {
    const std::wstring entry = toolkit::Utf8ToWide(entryAt(i));
    SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  }
  if (redrawOff) {
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
  }
}

int BaselineWindow::ListCount() const {
  return static_cast<int>(SendMessageW(list_, LB_GETCOUNT, 0, 0));
}

std::wstring BaselineWindow::ListText(int index) const {
  const LRESULT length = SendMessageW(list_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT got = SendMessageW(list_, LB_GETTEXT, static_cast<WPARAM>(index),
                                   reinterpret_cast<LPARAM>(text.data()));
  text.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
  return text;
}

std::wstring BaselineWindow::Meaning() const { return WindowText(meaning_); }

}  // namespace kelvara::bench
