// cSubclassEngine: lets an owner object receive the messages of a window of this process, before
// and/or after the window's own procedure, and hands out plain function entry points (timer
// procedures and the like) that forward to a handler of the owner.
//
// The engine puts one of a fixed set of window procedures in front of the window's procedure;
// each of them knows its record by its place in the set, so no memory is ever both writable and
// executable and no message needs a lookup. A record is released only by the outermost running
// invocation of its procedure, after the previous procedure has returned, so a handler may stop
// the subclass (or end its owner) from inside a message of that very window.
//
// Every programming error (bad handle, unknown handler, full table...) is reported once through
// the reporter of EngineReport.h, then the operation returns its failure value; nothing throws.
// Everything runs on the thread that owns the windows.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelvara {

class cSubclassOwner;

inline constexpr int MSG_ENTRIES = 32;
// As a message number: every message. Registered messages stop at 0xFFFF, so it cannot clash.
inline constexpr UINT ALL_MESSAGES = static_cast<UINT>(-1);

// The "when" of ssc_WatchMsg and ssc_UnwatchMsg.
inline constexpr int WATCH_BEFORE = 1;
inline constexpr int WATCH_AFTER = 2;
inline constexpr int WATCH_BOTH = WATCH_BEFORE | WATCH_AFTER;

// Message handler of an owner. Called with bBefore true ahead of the window's previous procedure,
// false after it. Setting bHandled in a before-call swallows the message (WM_DESTROY excepted)
// and makes lReturn the window procedure's result. lParamUser is the record's user value.
using MessageHandler = void (*)(cSubclassOwner& owner, bool bBefore, bool& bHandled,
                                LRESULT& lReturn, HWND hWnd, UINT uMsg, WPARAM wParam,
                                LPARAM lParam, LONG_PTR& lParamUser);

// Callback handler of an owner: the entry point's arguments in the order received, and the slot
// whose value the entry point returns (0 unless the handler stores something else).
using CallbackHandler = void (*)(cSubclassOwner& owner, std::span<const UINT_PTR> args,
                                 LRESULT& lResult);

// One place in an owner's list of handlers; a place holds one kind of handler or the other.
struct cOwnerMethod {
  MessageHandler message = nullptr;
  CallbackHandler callback = nullptr;
};

// An object that can receive a window's messages or a callback. Handlers are named by ordinal,
// counted from the end of the list: 1 is the last, 2 the one before it.
class cSubclassOwner {
 public:
  virtual std::span<const cOwnerMethod> zMethods() const = 0;

 protected:
  ~cSubclassOwner() = default;
};

// A plain function entry point. On x64 every caller that passes up to four integer or pointer
// arguments can call it through its own prototype (a TIMERPROC, a WNDPROC...): the arguments
// travel in registers and the callee never pops anything.
using CallbackEntryPoint = LRESULT(CALLBACK*)(UINT_PTR, UINT_PTR, UINT_PTR, UINT_PTR);
inline constexpr int MAX_CALLBACK_PARAMS = 4;

// Messages one table watches: count 0 none, a negative count all, n > 0 the slots 1..n, where a
// slot holding 0 is a place freed by a removal.
struct MessageTable {
  int count = 0;
  std::array<UINT, MSG_ENTRIES + 1> slots{};  // slots[0] unused: the places are 1..MSG_ENTRIES
};

namespace tray_detail {
struct SubclassRecord;
struct CallbackEntry;
}  // namespace tray_detail

// One registry entry, keyed by a number in decimal followed by "h". A subclass record is owned
// by the window procedure that serves it, so the registry only watches it: once the record has
// been released the entry fails the liveness test ("code test") but may stay.
struct zThunk {
  std::string key;
  std::weak_ptr<tray_detail::SubclassRecord> record;
  std::shared_ptr<tray_detail::CallbackEntry> callback;
};

class cSubclassEngine {
 public:
  // Registry kinds of zMap_VFunction and zRelease.
  static constexpr int kSubclassKind = 0;
  static constexpr int kUnusedKind = 1;  // named by the lookup, filled by nothing
  static constexpr int kCallbackKind = 2;

  // self: the default owner; className: the name that error reports carry ("cSystray").
  cSubclassEngine(cSubclassOwner& self, std::wstring className);
  // Stops every subclass and frees every entry point still held.
  ~cSubclassEngine();
  cSubclassEngine(const cSubclassEngine&) = delete;
  cSubclassEngine& operator=(const cSubclassEngine&) = delete;

  // Subclasses a window of this process; the owner's message handler at nOrdinal receives the
  // messages that ssc_WatchMsg asks for. With bUnicode the Unicode entries are used when the
  // window is a Unicode window. False, after a report, when it cannot.
  bool ssc_Subclass(HWND hWnd, LONG_PTR lParamUser = 0, int nOrdinal = 1,
                    cSubclassOwner* oCallback = nullptr, bool bUnicode = false);
  void ssc_WatchMsg(HWND hWnd, UINT uMsg, int when = WATCH_AFTER);
  void ssc_UnwatchMsg(HWND hWnd, UINT uMsg, int when = WATCH_AFTER);
  // Gives the window its previous procedure back, at once when called outside the window's
  // messages, else when the outermost running invocation returns.
  void ssc_Stop(HWND hWnd);
  void ssc_StopAll();
  // What the previous procedure returns for the message; 0 when the window is not subclassed.
  LRESULT ssc_CallPrevious(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  LONG_PTR ssc_UserValue(HWND hWnd);
  void ssc_UserValue(HWND hWnd, LONG_PTR lNewValue);

  // An entry point taking nParamCount (0..MAX_CALLBACK_PARAMS) arguments that calls the owner's
  // callback handler at nOrdinal. The same ordinal gives the same entry until it is freed;
  // nullptr, after a report, on failure.
  CallbackEntryPoint scb_SetCallbackAddr(int nParamCount, int nOrdinal = 1,
                                         cSubclassOwner* oCallback = nullptr);
  // A freed entry point stays safe to call: it calls nothing and returns 0 (until its place is
  // handed out again, which happens last of all, the places being used in turn).
  void scb_FreeCallback(int nOrdinal);
  void scb_FreeAllCallbacks();

  // The engine's own routines; public so that every edge of them can be driven on its own.
  void zAddMsg(UINT uMsg, MessageTable& table);
  void zDelMsg(UINT uMsg, MessageTable& table);
  zThunk* zMap_VFunction(INT_PTR nKey, int kind);
  const cOwnerMethod* zFindHandler(const cSubclassOwner& owner, int nOrdinal) const;
  void zRelease(INT_PTR nKey, int kind);
  void zReleaseAll(int kind);
  static FARPROC zProcAddress(const std::wstring& sModule, const char* sFunction, bool bUnicode);
  void zReport(const std::wstring& sRoutine, const std::wstring& sText) const;

  // Records in use in the whole process (live subclasses, and those waiting for their window's
  // end); lets a holder check that nothing is left behind.
  static std::size_t zRecordsInUse();

 private:
  using Registry = std::vector<zThunk>;
  std::optional<Registry>& RegistryOf(int kind) { return registries_[static_cast<size_t>(kind)]; }
  std::shared_ptr<tray_detail::SubclassRecord> LiveRecord(HWND hWnd);

  cSubclassOwner& self_;
  std::wstring className_;
  std::array<std::optional<Registry>, 3> registries_;  // created on first use, by kind
};

}  // namespace kelvara
