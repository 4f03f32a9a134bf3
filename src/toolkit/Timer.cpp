#include "Timer.h"

#include "Form.h"

namespace kelvara::toolkit {

Timer::~Timer() {
  if (form_) {
    if (form_->hWnd() && id_) KillTimer(form_->hWnd(), id_);
    form_->UnregisterTimer(*this);
  }
}

void Timer::Attach(Form& form, UINT intervalMs) {
  form_ = &form;
  interval_ = intervalMs;
  enabled_ = false;
  form.RegisterTimer(*this);
}

void Timer::SetInterval(UINT intervalMs) {
  interval_ = intervalMs;
  Apply();
}

void Timer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Apply();
}

void Timer::Apply() {
  if (!form_ || !form_->hWnd()) return;
  if (!id_) form_->RegisterTimer(*this);
  if (enabled_ && interval_ > 0)
    SetTimer(form_->hWnd(), id_, interval_, nullptr);  // replaces a running one with this id
  else
    KillTimer(form_->hWnd(), id_);
}

void Timer::Tick() {
  if (enabled_ && onTimer) onTimer();
}

}  // namespace kelvara::toolkit
