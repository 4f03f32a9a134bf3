#include "DBModule.h"

#include <utility>

namespace kelvara::DBModule {

namespace {
std::wstring& Stored() {
  static std::wstring path;
  return path;
}
}  // namespace

std::wstring BuildAppExePath(std::wstring_view folder, std::wstring_view exeName) {
  std::wstring path(folder);
  if (path.empty() || path.back() != L'\\') path += L'\\';
  path += exeName;
  path += L".exe";
  return path;
}

const std::wstring& AppExePath() { return Stored(); }
void SetAppExePath(std::wstring path) { Stored() = std::move(path); }

}  // namespace kelvara::DBModule
