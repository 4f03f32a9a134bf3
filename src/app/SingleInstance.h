// One copy of the program at a time, told by a named mutex that lives as long as the copy.
#pragma once

#include <string>

#include "shared/Constants.h"  // kInstanceMutexName, the name the program uses
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

}  // namespace kelvara
