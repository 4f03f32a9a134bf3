// The engine's fixed code: a set of window procedures and a set of callback entry points, each
// bound to one record by its place in the set. The sets replace code generated at run time;
// a place is taken by a record from subclassing (or first request) until its release.
#pragma once

#include "SubclassEngine.h"

#include <cstddef>
#include <memory>

namespace kelvara {

namespace tray_detail {

// One subclassed window. Owned by the window procedure that serves it (its place in the set),
// watched by the engine's registry.
struct SubclassRecord {
  int depth = 0;      // invocations of the procedure running now for this window
  int stopState = 0;  // 0 active, 1 stop requested, 2 WM_DESTROY seen
  HWND hWnd = nullptr;
  decltype(&CallWindowProcW) pfnCallWindowProc = nullptr;  // the A or W entry
  decltype(&SetWindowLongPtrW) pfnSetWindowLongPtr = nullptr;
  cSubclassOwner* owner = nullptr;
  WNDPROC prevProc = nullptr;
  MessageHandler handler = nullptr;
  MessageTable before;
  MessageTable after;
  LONG_PTR userValue = 0;
  bool unicode = false;

  int place = -1;         // its procedure in the set
  bool released = false;  // no longer the engine's: at most a pass-through to prevProc
};

// One entry point handed out by scb_SetCallbackAddr.
struct CallbackEntry {
  cSubclassOwner* owner = nullptr;
  CallbackHandler handler = nullptr;
  int paramCount = 0;
  int ordinal = 0;
  int place = -1;
};

inline constexpr int kWindowPlaces = 64;
inline constexpr int kCallbackPlaces = 64;

// Binds the record to a free window procedure and returns it; nullptr when all are taken.
WNDPROC ClaimWindowPlace(const std::shared_ptr<SubclassRecord>& record);
// Unbinds the place; the record ends here unless someone else still holds it.
void FreeWindowPlace(int place);
WNDPROC WindowProcAt(int place);
std::size_t WindowPlacesInUse();

CallbackEntryPoint ClaimCallbackPlace(const std::shared_ptr<CallbackEntry>& entry);
void FreeCallbackPlace(int place);
CallbackEntryPoint EntryPointAt(int place);

// The engine's window procedure for the record at the place (SubclassEngine.cpp).
LRESULT EngineWindowProc(int place, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
// Where a place's procedure finds its record; nullptr for an empty place.
SubclassRecord* RecordAt(int place);

}  // namespace tray_detail

}  // namespace kelvara
