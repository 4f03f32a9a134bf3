#include "EngineSlots.h"

#include <array>
#include <utility>

namespace kelvara {

namespace tray_detail {
namespace {

std::array<std::shared_ptr<SubclassRecord>, kWindowPlaces> g_records;
std::array<std::shared_ptr<CallbackEntry>, kCallbackPlaces> g_entries;
// Places are handed out round-robin, so that a stale pointer to a freed entry point (a timer
// nobody killed) is unlikely to reach the next owner's handler: it finds an empty place.
int g_nextRecordPlace = 0;
int g_nextEntryPlace = 0;

template <int Place>
LRESULT CALLBACK PlaceWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return EngineWindowProc(Place, hWnd, uMsg, wParam, lParam);
}

LRESULT CallEntry(int place, UINT_PTR a1, UINT_PTR a2, UINT_PTR a3, UINT_PTR a4) {
  // A copy, so that a handler that frees its own entry (or ends its owner) is safe.
  const std::shared_ptr<CallbackEntry> entry = g_entries[static_cast<size_t>(place)];
  if (!entry || entry->handler == nullptr || entry->owner == nullptr) return 0;
  const std::array<UINT_PTR, MAX_CALLBACK_PARAMS> args{a1, a2, a3, a4};
  LRESULT result = 0;
  entry->handler(*entry->owner,
                 std::span<const UINT_PTR>(args.data(), static_cast<size_t>(entry->paramCount)),
                 result);
  return result;
}

template <int Place>
LRESULT CALLBACK PlaceEntryPoint(UINT_PTR a1, UINT_PTR a2, UINT_PTR a3, UINT_PTR a4) {
  return CallEntry(Place, a1, a2, a3, a4);
}

template <int... Place>
constexpr std::array<WNDPROC, sizeof...(Place)> WindowProcs(std::integer_sequence<int, Place...>) {
  return {&PlaceWindowProc<Place>...};
}
template <int... Place>
constexpr std::array<CallbackEntryPoint, sizeof...(Place)> EntryPoints(
    std::integer_sequence<int, Place...>) {
  return {&PlaceEntryPoint<Place>...};
}

constexpr auto kWindowProcs = WindowProcs(std::make_integer_sequence<int, kWindowPlaces>{});
constexpr auto kEntryPoints = EntryPoints(std::make_integer_sequence<int, kCallbackPlaces>{});

template <typename T, size_t N>
int ClaimPlace(std::array<std::shared_ptr<T>, N>& places, int& next,
               const std::shared_ptr<T>& item) {
  for (size_t tried = 0; tried < N; ++tried) {
    const int place = next;
    next = (next + 1) % static_cast<int>(N);
    auto& at = places[static_cast<size_t>(place)];
    if (!at) {
      at = item;
      item->place = place;
      return place;
    }
  }
  return -1;
}

}  // namespace

WNDPROC ClaimWindowPlace(const std::shared_ptr<SubclassRecord>& record) {
  const int place = ClaimPlace(g_records, g_nextRecordPlace, record);
  return place < 0 ? nullptr : kWindowProcs[static_cast<size_t>(place)];
}

void FreeWindowPlace(int place) {
  if (place < 0 || place >= kWindowPlaces) return;
  // Moved out first: the record's end must not run while its place still names it.
  std::shared_ptr<SubclassRecord> gone = std::move(g_records[static_cast<size_t>(place)]);
}

WNDPROC WindowProcAt(int place) { return kWindowProcs[static_cast<size_t>(place)]; }

SubclassRecord* RecordAt(int place) { return g_records[static_cast<size_t>(place)].get(); }

std::size_t WindowPlacesInUse() {
  std::size_t used = 0;
  for (const auto& record : g_records) used += record ? 1 : 0;
  return used;
}

CallbackEntryPoint ClaimCallbackPlace(const std::shared_ptr<CallbackEntry>& entry) {
  const int place = ClaimPlace(g_entries, g_nextEntryPlace, entry);
  return place < 0 ? nullptr : kEntryPoints[static_cast<size_t>(place)];
}

CallbackEntryPoint EntryPointAt(int place) { return kEntryPoints[static_cast<size_t>(place)]; }

void FreeCallbackPlace(int place) {
  if (place < 0 || place >= kCallbackPlaces) return;
  std::shared_ptr<CallbackEntry> gone = std::move(g_entries[static_cast<size_t>(place)]);
}

}  // namespace tray_detail

}  // namespace kelvara
