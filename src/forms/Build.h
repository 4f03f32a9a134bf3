// Building windows from their designs.
#pragma once

#include <span>
#include <string_view>

#include "Design.h"
#include "toolkit/Control.h"
#include "toolkit/Form.h"
#include "toolkit/Menu.h"
#include "toolkit/Timer.h"

namespace kelvara::forms {

// Ties a design's control, by name, to the object of the form that will hold it.
struct Binding {
  std::string_view name;
  toolkit::Control* control;
};

toolkit::FormArgs ToFormArgs(const FormDesign& design);
// The window styles that carry a control's designed properties (the kind's own class styles
// are added by the toolkit), and its place converted from twips at `dpi`.
toolkit::ControlArgs ToControlArgs(const ControlDesign& design, int dpi = toolkit::kDesignDpi);

// Creates the form's window and every control of the design, in tab order, with its lines and
// its default and cancel buttons. False when the window, a control, or a binding is missing.
bool BuildForm(toolkit::Form& form, const FormDesign& design, HWND owner,
               std::span<const Binding> bindings);

// Puts every bound control where the design has it at `dpi` and draws the lines there: what a
// form built by BuildForm does when its DPI changes (BuildForm hooks it up).
void ApplyDesignAtDpi(toolkit::Form& form, const FormDesign& design,
                      std::span<const Binding> bindings, int dpi);

// The design's lines at `dpi`, in place of those the form had.
void AddDesignLines(toolkit::Form& form, const FormDesign& design, int dpi);

// A check box as tall as its caption needs: the designs make it as tall as a Latin line, which
// cuts off the descenders of Persian letters. It keeps its top and grows downwards.
void FitCheckBoxToCaption(toolkit::CheckBox& box, int designHeight);

// Fills a menu with the design's entries below level 0, with their designed states.
void BuildMenu(toolkit::Menu& menu, std::span<const MenuDesign> design);

// Attaches a timer to its form with the designed interval and enabled state.
void BuildTimer(toolkit::Timer& timer, toolkit::Form& form, const TimerDesign& design);

}  // namespace kelvara::forms
