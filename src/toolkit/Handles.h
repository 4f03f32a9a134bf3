// Move-only owners of Win32 handles. Copying is deleted by std::unique_ptr; each deleter is the
// one function that frees that kind of handle.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace kelvara::toolkit {

template <auto Free>
struct HandleDeleter {
  template <class H>
  void operator()(H h) const noexcept {
    Free(h);
  }
};

template <class H, auto Free>
using UniqueHandleOf = std::unique_ptr<std::remove_pointer_t<H>, HandleDeleter<Free>>;

using UniqueHmenu = UniqueHandleOf<HMENU, DestroyMenu>;
using UniqueHicon = UniqueHandleOf<HICON, DestroyIcon>;
using UniqueHfont = UniqueHandleOf<HFONT, DeleteObject>;
using UniqueHbitmap = UniqueHandleOf<HBITMAP, DeleteObject>;
using UniqueHbrush = UniqueHandleOf<HBRUSH, DeleteObject>;
using UniqueHandle = UniqueHandleOf<HANDLE, CloseHandle>;

// Windows: a top-level window that this object created and destroys. Child controls are not
// held this way; their parent destroys them.
using UniqueHwnd = UniqueHandleOf<HWND, DestroyWindow>;

}  // namespace kelvara::toolkit
