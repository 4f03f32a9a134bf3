#include "SingleInstance.h"

namespace kelvara {

SingleInstance::SingleInstance(const std::wstring& name)
    : mutex_(CreateMutexW(nullptr, FALSE, name.c_str())) {
  // ERROR_ALREADY_EXISTS: the first copy made it. ERROR_ACCESS_DENIED: it exists under
  // another security context, which is a running copy all the same.
  const DWORD error = GetLastError();
  another_ = (mutex_ && error == ERROR_ALREADY_EXISTS) || (!mutex_ && error == ERROR_ACCESS_DENIED);
}

}  // namespace kelvara
