// COM on the calling thread, and an owning interface pointer.
#pragma once

#include <objbase.h>

#include <utility>

#include "SystemLibrary.h"

namespace kelvara::toolkit {

// Initialises COM for this scope. CoUninitialize is owed after S_FALSE (already initialised)
// too; only a refusal (another threading model) owes nothing.
class ScopedCom {
 public:
  explicit ScopedCom(DWORD flags = COINIT_APARTMENTTHREADED) : hr_(system::CoInitializeEx(nullptr, flags)) {}
  ~ScopedCom() {
    if (SUCCEEDED(hr_)) system::CoUninitialize();
  }
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;
  // False only when COM is not usable on this thread at all.
  bool Usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT hr_;
};

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For functions that hand out a new reference.
  T** Put() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

}  // namespace kelvara::toolkit
