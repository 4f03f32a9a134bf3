// One copy of the program at a time, told by a named mutex that lives as long as the copy.
#pragma once

#include <string>

#include "toolkit/Handles.h"

namespace kelvara {

class SingleInstance {
 public:
  explicit SingleInstance(const std::wstring& name);
  // True when another copy held the name first.
  bool AnotherIsRunning() const { return another_; }

 private:
  toolkit::UniqueHandle mutex_;
  bool another_ = false;
};

// The name the program uses: one per user session.
inline constexpr wchar_t kInstanceMutexName[] = L"Local\\KelvaraDictionary.Instance";

}  // namespace kelvara
