#include "SubclassEngine.h"

#include "EngineReport.h"
#include "EngineSlots.h"

#include <cwchar>
#include <new>
#include <utility>

namespace kelvara {

using tray_detail::CallbackEntry;
using tray_detail::SubclassRecord;

namespace {

std::string KeyText(INT_PTR key) { return std::to_string(key) + "h"; }
INT_PTR KeyOf(HWND hWnd) { return reinterpret_cast<INT_PTR>(hWnd); }

zThunk* Find(std::vector<zThunk>& registry, const std::string& key) {
  for (auto& thunk : registry) {
    if (thunk.key == key) return &thunk;
  }
  return nullptr;
}

void Erase(std::vector<zThunk>& registry, const std::string& key) {
  for (auto it = registry.begin(); it != registry.end(); ++it) {
    if (it->key == key) {
      registry.erase(it);
      return;
    }
  }
}

// A place freed by a removal holds 0 and matches nothing, so that unwatching a message never
// starts delivering WM_NULL; WM_NULL can be watched only through ALL_MESSAGES.
bool Watches(const MessageTable& table, UINT uMsg) {
  if (table.count < 0) return true;
  if (uMsg == 0) return false;
  for (int i = 1; i <= table.count; ++i) {
    if (table.slots[static_cast<size_t>(i)] == uMsg) return true;
  }
  return false;
}

template <typename Fn>
Fn AsFunction(FARPROC address) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
}

std::wstring ErrorNumber(DWORD error) { return std::to_wstring(error); }

}  // namespace

namespace tray_detail {
namespace {

void CallHandler(SubclassRecord& record, bool before, bool& handled, LRESULT& result, HWND hWnd,
                 UINT uMsg, WPARAM wParam, LPARAM lParam) {
  // A stop clears the handler, so a stopped record never calls an owner that may be gone.
  if (record.handler == nullptr || record.owner == nullptr) return;
  record.handler(*record.owner, before, handled, result, hWnd, uMsg, wParam, lParam,
                 record.userValue);
}

// Gives the window its previous procedure back and lets the record go. If someone has put a
// procedure of their own in front of ours since, taking ours out would cut theirs off as well:
// the record then stays in the chain as a bare pass-through until the window ends.
void Unhook(SubclassRecord& record) {
  record.released = true;
  record.handler = nullptr;
  record.owner = nullptr;
  const int place = record.place;
  if (IsWindow(record.hWnd)) {
    const auto currentProc = record.unicode ? &GetWindowLongPtrW : &GetWindowLongPtrA;
    if (currentProc(record.hWnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(WindowProcAt(place))) {
      return;
    }
    record.pfnSetWindowLongPtr(record.hWnd, GWLP_WNDPROC,
                               reinterpret_cast<LONG_PTR>(record.prevProc));
  }
  FreeWindowPlace(place);  // the record ends here
}

}  // namespace

LRESULT EngineWindowProc(int place, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  SubclassRecord* record = RecordAt(place);
  // A place is emptied only after its procedure has left the window; nothing more to do.
  if (record == nullptr) return DefWindowProcW(hWnd, uMsg, wParam, lParam);

  if (record->released) {
    const LRESULT result =
        record->pfnCallWindowProc(record->prevProc, hWnd, uMsg, wParam, lParam);
    if (uMsg == WM_NCDESTROY) FreeWindowPlace(place);  // the last message the window gets
    return result;
  }

  ++record->depth;
  bool handled = false;
  LRESULT result = 0;
  if (Watches(record->before, uMsg)) {
    CallHandler(*record, true, handled, result, hWnd, uMsg, wParam, lParam);
  }
  // The window's own procedure must see its destruction, whatever a handler decided.
  if (uMsg == WM_DESTROY) record->stopState = 2;
  if (uMsg == WM_DESTROY || !handled) {
    result = record->pfnCallWindowProc(record->prevProc, hWnd, uMsg, wParam, lParam);
    if (record->depth == 1 && record->stopState != 0) {
      --record->depth;
      Unhook(*record);
      return result;
    }
    if (Watches(record->after, uMsg)) {
      CallHandler(*record, false, handled, result, hWnd, uMsg, wParam, lParam);
    }
  }
  // A stop asked for after the outermost invocation called the previous procedure (from an
  // after-handler, say) is completed here, once nothing of this record runs below us.
  if (--record->depth == 0 && record->stopState != 0) Unhook(*record);
  return result;
}

}  // namespace tray_detail

cSubclassEngine::cSubclassEngine(cSubclassOwner& self, std::wstring className)
    : self_(self), className_(std::move(className)) {}

cSubclassEngine::~cSubclassEngine() {
  zReleaseAll(kSubclassKind);
  zReleaseAll(kCallbackKind);
}

bool cSubclassEngine::ssc_Subclass(HWND hWnd, LONG_PTR lParamUser, int nOrdinal,
                                   cSubclassOwner* oCallback, bool bUnicode) {
  const std::wstring routine = L"ssc_Subclass";
  if (!IsWindow(hWnd)) {
    zReport(routine, L"Invalid window handle");
    return false;
  }
  DWORD processId = 0;
  GetWindowThreadProcessId(hWnd, &processId);
  if (processId != GetCurrentProcessId()) {
    zReport(routine, L"Window handle belongs to another process");
    return false;
  }
  cSubclassOwner& owner = oCallback != nullptr ? *oCallback : self_;
  const cOwnerMethod* method = zFindHandler(owner, nOrdinal);
  if (method == nullptr || method->message == nullptr) {
    zReport(routine, L"Callback method not found");
    return false;
  }

  std::shared_ptr<SubclassRecord> record;
  try {
    record = std::make_shared<SubclassRecord>();
  } catch (const std::bad_alloc&) {
  }
  const WNDPROC proc = record ? tray_detail::ClaimWindowPlace(record) : nullptr;
  if (proc == nullptr) {
    zReport(routine, L"VirtualAlloc failed, error: " + ErrorNumber(ERROR_NOT_ENOUGH_MEMORY));
    return false;
  }

  auto& registry = RegistryOf(kSubclassKind);
  if (!registry) registry.emplace();
  const std::string key = KeyText(KeyOf(hWnd));
  if (Find(*registry, key) != nullptr) {
    tray_detail::FreeWindowPlace(record->place);
    zReport(routine, L"Window handle is already subclassed");
    return false;
  }
  registry->push_back({key, record, nullptr});

  record->hWnd = hWnd;
  record->owner = &owner;
  record->handler = method->message;
  record->userValue = lParamUser;
  record->unicode = bUnicode && IsWindowUnicode(hWnd);
  const bool unicode = record->unicode;
  record->pfnCallWindowProc = AsFunction<decltype(&CallWindowProcW)>(
      zProcAddress(L"user32", unicode ? "CallWindowProcW" : "CallWindowProcA", unicode));
  record->pfnSetWindowLongPtr = AsFunction<decltype(&SetWindowLongPtrW)>(
      zProcAddress(L"user32", unicode ? "SetWindowLongPtrW" : "SetWindowLongPtrA", unicode));

  LONG_PTR previous = 0;
  if (record->pfnCallWindowProc != nullptr && record->pfnSetWindowLongPtr != nullptr) {
    SetLastError(ERROR_SUCCESS);
    previous = record->pfnSetWindowLongPtr(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
  }
  if (previous == 0) {
    const DWORD error = GetLastError();
    // The key goes too: the window is not subclassed, so a later attempt must not be refused.
    Erase(*registry, key);
    tray_detail::FreeWindowPlace(record->place);
    zReport(routine, L"SetWindowLong failed, error #" + ErrorNumber(error));
    return false;
  }
  record->prevProc = reinterpret_cast<WNDPROC>(previous);
  return true;
}

std::shared_ptr<SubclassRecord> cSubclassEngine::LiveRecord(HWND hWnd) {
  zThunk* thunk = zMap_VFunction(KeyOf(hWnd), kSubclassKind);
  if (thunk == nullptr) return nullptr;
  auto record = thunk->record.lock();
  return record && !record->released ? record : nullptr;
}

void cSubclassEngine::ssc_WatchMsg(HWND hWnd, UINT uMsg, int when) {
  const auto record = LiveRecord(hWnd);
  if (!record) return;
  if ((when & WATCH_BEFORE) != 0) zAddMsg(uMsg, record->before);
  if ((when & WATCH_AFTER) != 0) zAddMsg(uMsg, record->after);
}

void cSubclassEngine::ssc_UnwatchMsg(HWND hWnd, UINT uMsg, int when) {
  const auto record = LiveRecord(hWnd);
  if (!record) return;
  if ((when & WATCH_BEFORE) != 0) zDelMsg(uMsg, record->before);
  if ((when & WATCH_AFTER) != 0) zDelMsg(uMsg, record->after);
}

void cSubclassEngine::ssc_Stop(HWND hWnd) { zRelease(KeyOf(hWnd), kSubclassKind); }

void cSubclassEngine::ssc_StopAll() { zReleaseAll(kSubclassKind); }

LRESULT cSubclassEngine::ssc_CallPrevious(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  const auto record = LiveRecord(hWnd);
  if (!record) return 0;
  return record->pfnCallWindowProc(record->prevProc, hWnd, uMsg, wParam, lParam);
}

LONG_PTR cSubclassEngine::ssc_UserValue(HWND hWnd) {
  const auto record = LiveRecord(hWnd);
  return record ? record->userValue : 0;
}

void cSubclassEngine::ssc_UserValue(HWND hWnd, LONG_PTR lNewValue) {
  if (const auto record = LiveRecord(hWnd)) record->userValue = lNewValue;
}

CallbackEntryPoint cSubclassEngine::scb_SetCallbackAddr(int nParamCount, int nOrdinal,
                                                        cSubclassOwner* oCallback) {
  const std::wstring routine = L"scb_SetCallbackAddr";
  auto& registry = RegistryOf(kCallbackKind);
  if (registry) {
    // Asked for before: the same entry, whatever the other arguments say now.
    const zThunk* thunk = Find(*registry, KeyText(nOrdinal));
    if (thunk != nullptr && thunk->callback) {
      return tray_detail::EntryPointAt(thunk->callback->place);
    }
  } else {
    registry.emplace();
  }
  // The fixed entry points read their arguments from the four argument registers only.
  if (nParamCount < 0 || nParamCount > MAX_CALLBACK_PARAMS) {
    zReport(routine, L"Invalid Parameter count");
    return nullptr;
  }
  cSubclassOwner& owner = oCallback != nullptr ? *oCallback : self_;
  const cOwnerMethod* method = zFindHandler(owner, nOrdinal);
  if (method == nullptr || method->callback == nullptr) {
    zReport(routine, L"Callback address not found.");
    return nullptr;
  }
  std::shared_ptr<CallbackEntry> entry;
  try {
    entry = std::make_shared<CallbackEntry>();
  } catch (const std::bad_alloc&) {
  }
  const CallbackEntryPoint entryPoint = entry ? tray_detail::ClaimCallbackPlace(entry) : nullptr;
  if (entryPoint == nullptr) {
    zReport(routine, L"VirtualAlloc failed, error: " + ErrorNumber(ERROR_NOT_ENOUGH_MEMORY));
    return nullptr;
  }
  entry->owner = &owner;
  entry->handler = method->callback;
  entry->paramCount = nParamCount;
  entry->ordinal = nOrdinal;
  registry->push_back({KeyText(nOrdinal), {}, entry});
  return entryPoint;
}

void cSubclassEngine::scb_FreeCallback(int nOrdinal) { zRelease(nOrdinal, kCallbackKind); }

void cSubclassEngine::scb_FreeAllCallbacks() { zReleaseAll(kCallbackKind); }

void cSubclassEngine::zAddMsg(UINT uMsg, MessageTable& table) {
  if (uMsg == ALL_MESSAGES) {
    table.count = -1;
    return;
  }
  if (table.count >= MSG_ENTRIES) {
    zReport(L"zAddMsg",
            L"Message table overflow. Either increase the value of Const MSG_ENTRIES or use "
            L"ALL_MESSAGES instead of specific message values");
    return;
  }
  // A table that watches everything already watches this message; narrowing it to this one
  // message would silently drop all the others.
  if (table.count < 0 || uMsg == 0) return;
  // Present anywhere means present: filling a free place first could list it twice, and one
  // removal would then leave it watched.
  for (int i = 1; i <= table.count; ++i) {
    if (table.slots[static_cast<size_t>(i)] == uMsg) return;
  }
  for (int i = 1; i <= table.count; ++i) {
    if (table.slots[static_cast<size_t>(i)] == 0) {
      table.slots[static_cast<size_t>(i)] = uMsg;
      return;
    }
  }
  ++table.count;
  table.slots[static_cast<size_t>(table.count)] = uMsg;
}

void cSubclassEngine::zDelMsg(UINT uMsg, MessageTable& table) {
  if (uMsg == ALL_MESSAGES) {
    table.count = 0;
    return;
  }
  if (uMsg != 0) {
    for (int i = 1; i <= table.count; ++i) {
      if (table.slots[static_cast<size_t>(i)] == uMsg) {
        table.slots[static_cast<size_t>(i)] = 0;
        return;
      }
    }
  }
  wchar_t hex[16];
  std::swprintf(hex, std::size(hex), L"%X", uMsg);
  zReport(L"zDelMsg", L"Message &H" + std::wstring(hex) + L" not found in table");
}

zThunk* cSubclassEngine::zMap_VFunction(INT_PTR nKey, int kind) {
  if (kind < kSubclassKind || kind > kCallbackKind) {
    zReport(L"zMap_Vfunction", L"Invalid thunk type passed");
    return nullptr;
  }
  auto& registry = RegistryOf(kind);
  if (!registry) {
    zReport(L"zMap_VFunction", L"Thunk hasn't been initialized");
    return nullptr;
  }
  if (zThunk* thunk = Find(*registry, KeyText(nKey))) return thunk;
  zReport(L"zMap_VFunction",
          L"Thunk type for ID of " + std::to_wstring(nKey) + L" does not exist");
  return nullptr;
}

const cOwnerMethod* cSubclassEngine::zFindHandler(const cSubclassOwner& owner,
                                                  int nOrdinal) const {
  const auto methods = owner.zMethods();
  if (nOrdinal < 1 || static_cast<size_t>(nOrdinal) > methods.size()) return nullptr;
  return &methods[methods.size() - static_cast<size_t>(nOrdinal)];
}

void cSubclassEngine::zRelease(INT_PTR nKey, int kind) {
  zThunk* thunk = zMap_VFunction(nKey, kind);
  if (thunk == nullptr) return;
  const std::string key = thunk->key;
  if (kind == kSubclassKind) {
    if (const auto record = thunk->record.lock(); record && !record->released) {
      record->stopState = 1;
      zDelMsg(ALL_MESSAGES, record->before);
      zDelMsg(ALL_MESSAGES, record->after);
      record->handler = nullptr;
      record->owner = nullptr;
      // Runs the engine's procedure once more: at the outermost level it hands the window back.
      const auto send = record->unicode ? &SendMessageW : &SendMessageA;
      send(record->hWnd, WM_NULL, 0, 0);
    }
  } else if (kind == kCallbackKind && thunk->callback) {
    tray_detail::FreeCallbackPlace(thunk->callback->place);
  }
  // The message above may have changed the registry: look the key up again.
  Erase(*RegistryOf(kind), key);
}

void cSubclassEngine::zReleaseAll(int kind) {
  if (kind < kSubclassKind || kind > kCallbackKind) return;
  auto& registry = RegistryOf(kind);
  if (!registry) return;
  std::vector<INT_PTR> keys;  // last added first; records already released stay listed
  for (auto it = registry->rbegin(); it != registry->rend(); ++it) {
    if (kind == kSubclassKind) {
      if (const auto record = it->record.lock(); record && !record->released) {
        keys.push_back(KeyOf(record->hWnd));
      }
    } else if (it->callback) {
      keys.push_back(it->callback->ordinal);
    }
  }
  for (const INT_PTR key : keys) {
    if (Find(*registry, KeyText(key)) != nullptr) zRelease(key, kind);
  }
}

FARPROC cSubclassEngine::zProcAddress(const std::wstring& sModule, const char* sFunction,
                                      bool bUnicode) {
  HMODULE module = nullptr;
  if (bUnicode) {
    module = GetModuleHandleW(sModule.c_str());
  } else {
    char name[MAX_PATH] = {};
    if (WideCharToMultiByte(CP_ACP, 0, sModule.c_str(), -1, name, MAX_PATH, nullptr, nullptr) >
        0) {
      module = GetModuleHandleA(name);
    }
  }
  return module != nullptr ? GetProcAddress(module, sFunction) : nullptr;
}

void cSubclassEngine::zReport(const std::wstring& sRoutine, const std::wstring& sText) const {
  ReportEngineError(MakeEngineReport(className_, sRoutine, sText));
}

std::size_t cSubclassEngine::zRecordsInUse() { return tray_detail::WindowPlacesInUse(); }

}  // namespace kelvara
