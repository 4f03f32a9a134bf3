// A timer of a form: it ticks on the user-interface thread (WM_TIMER), never on another one.
#pragma once

#include <windows.h>

#include <functional>

namespace kelvara::toolkit {

class Form;

class Timer {
 public:
  Timer() = default;
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  ~Timer();

  // Binds the timer to its form; it stays disabled until SetEnabled(true).
  void Attach(Form& form, UINT intervalMs);
  UINT Interval() const { return interval_; }
  void SetInterval(UINT intervalMs);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  std::function<void()> onTimer;

 private:
  friend class Form;
  void Apply();
  void Tick();
  Form* form_ = nullptr;
  UINT_PTR id_ = 0;
  UINT interval_ = 0;
  bool enabled_ = false;
};

}  // namespace kelvara::toolkit
