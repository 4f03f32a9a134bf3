// What a process holds, read from outside it: the probe's "counters PID" for the soak tests.
//
// Windows answers GetGuiResources, GetProcessHandleCount and the private bytes of
// GetProcessMemoryInfo; Wine 8 answers 0 to all three, so under Wine the probe counts for itself:
// GDI objects from the process's GDI handle table (read out of its memory through its PEB),
// windows by enumeration, kernel handles from the system's handle list. Memory under Wine is read
// by the test from the Linux process (/proc/PID/status), which the probe cannot see.
#include "Counters.h"

#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <string>
#include <vector>

namespace {

constexpr SIZE_T kPebGdiTableOffset = 0xF8;  // PEB.GdiSharedHandleTable on x64
constexpr size_t kGdiEntries = 65536;
constexpr size_t kGdiEntrySize = 24;

struct GdiEntry {  // the table's 24-byte entry
  ULONG64 object;
  USHORT ownerPid;
  USHORT count;
  UCHAR extType;  // the object's type as the handle's upper word carries it
  UCHAR generation;
  UCHAR type;  // 0 marks a free entry
  UCHAR flags;
  ULONG64 user;
};
static_assert(sizeof(GdiEntry) == kGdiEntrySize);

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"); }

using NtQueryInformationProcessFn = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG,
                                                       PULONG);
using NtQuerySystemInformationFn = NTSTATUS(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

template <typename F>
F Ntdll(const char* name) {
  return reinterpret_cast<F>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// GDI objects of the process: Windows shares one table among all processes, so the process's
// own are those it owns. Under Wine the table is the process's own with owner 0, and a free entry
// has type 0 but not a null object: Wine chains its free entries through the object field, so
// counting non-null objects counted the free list as well, and the count rose by one whenever the
// program's GDI objects reached a new peak (the first clipboard run did), without any leak.
// With `live`, each live entry is listed as "index:type".
long CountGdiObjects(HANDLE process, DWORD pid, bool wine, std::string* live) {
  auto query = Ntdll<NtQueryInformationProcessFn>("NtQueryInformationProcess");
  if (!query) return -1;
  PROCESS_BASIC_INFORMATION basic{};
  if (query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
  ULONG64 table = 0;
  SIZE_T read = 0;
  if (!ReadProcessMemory(process, static_cast<BYTE*>(static_cast<void*>(basic.PebBaseAddress)) +
                                      kPebGdiTableOffset,
                         &table, sizeof table, &read) ||
      read != sizeof table || table == 0) {
    return -1;
  }
  // A page at a time: the table's tail may not be committed.
  constexpr size_t kChunk = 4096 * 3;  // a whole number of entries (512)
  std::vector<GdiEntry> chunk(kChunk / kGdiEntrySize);
  long count = 0;
  bool any = false;
  for (size_t offset = 0; offset < kGdiEntries * kGdiEntrySize; offset += kChunk) {
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(table + offset), chunk.data(), kChunk,
                           &read) ||
        read != kChunk) {
      continue;
    }
    any = true;
    for (const GdiEntry& e : chunk) {
      const bool owned = wine ? e.type != 0 && e.object != 0
                              : e.object != 0 && e.ownerPid == static_cast<USHORT>(pid);
      if (!owned) continue;
      ++count;
      if (live) {
        if (!live->empty()) *live += ',';
        *live += std::to_string(offset / kGdiEntrySize + static_cast<size_t>(&e - chunk.data())) +
                 ':' + std::to_string(e.extType);
      }
    }
  }
  return any ? count : -1;
}

struct WindowCount {
  DWORD pid;
  long windows = 0;
};

BOOL CALLBACK CountChild(HWND w, LPARAM lParam) {
  auto* c = reinterpret_cast<WindowCount*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == c->pid) ++c->windows;
  return TRUE;
}

BOOL CALLBACK CountTop(HWND w, LPARAM lParam) {
  auto* c = reinterpret_cast<WindowCount*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != c->pid) return TRUE;
  ++c->windows;
  EnumChildWindows(w, CountChild, lParam);  // every descendant, not only direct children
  return TRUE;
}

// Top-level windows with all their descendants, and message-only windows.
long CountWindows(DWORD pid) {
  WindowCount c{pid};
  EnumWindows(CountTop, reinterpret_cast<LPARAM>(&c));
  for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
       w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr)) {
    CountTop(w, reinterpret_cast<LPARAM>(&c));
  }
  return c.windows;
}

// The system's list of open handles (SystemExtendedHandleInformation), those of the process.
long CountHandles(DWORD pid) {
  struct Entry {
    PVOID object;
    ULONG_PTR pid;
    ULONG_PTR handle;
    ULONG access;
    USHORT backTrace;
    USHORT type;
    ULONG attributes;
    ULONG reserved;
  };
  struct Table {
    ULONG_PTR count;
    ULONG_PTR reserved;
    Entry entries[1];
  };
  auto query = Ntdll<NtQuerySystemInformationFn>("NtQuerySystemInformation");
  if (!query) return -1;
  constexpr ULONG kSystemExtendedHandleInformation = 64;
  std::vector<BYTE> buffer(1 << 20);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const NTSTATUS status = query(kSystemExtendedHandleInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
    if (status == static_cast<NTSTATUS>(0xC0000004L)) {  // STATUS_INFO_LENGTH_MISMATCH
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 65536));
      continue;
    }
    if (status != 0) return -1;
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    long count = 0;
    for (ULONG_PTR i = 0; i < table->count; ++i) {
      if (table->entries[i].pid == pid) ++count;
    }
    return count;
  }
  return -1;
}

}  // namespace

bool ReadCounters(DWORD pid, ProcessCounters& out, std::string* live) {
  out = ProcessCounters{};
  out.wine = UnderWine();
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return false;
  out.apiUser = static_cast<long>(GetGuiResources(process, GR_USEROBJECTS));
  out.apiGdi = static_cast<long>(GetGuiResources(process, GR_GDIOBJECTS));
  DWORD handles = 0;
  if (GetProcessHandleCount(process, &handles)) out.apiHandles = static_cast<long>(handles);
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof memory)) {
    out.apiPrivateBytes = static_cast<long long>(memory.PrivateUsage);
  }
  out.gdiTable = CountGdiObjects(process, pid, out.wine, live);
  out.windows = CountWindows(pid);
  out.handles = CountHandles(pid);
  CloseHandle(process);
  return true;
}
