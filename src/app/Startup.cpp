#include "Startup.h"

#include <windows.h>

#include <commctrl.h>

#include "DBModule.h"
#include "SingleInstance.h"
#include "frmMain.h"
#include "toolkit/Application.h"

namespace kelvara {

namespace {
void SignalRunningCopy() {
  // The running copy is asked to come back as its hotkey would bring it back (a registered
  // window message to its main window), never by injected keys that could reach another
  // program.
}
}  // namespace

int Main() {
  // 1. Common controls 6, before any window exists.
  InitCommonControls();
  // 2. One copy at a time: a second one hands over to the first and ends.
  SingleInstance instance(kInstanceMutexName);
  if (instance.AnotherIsRunning()) {
    SignalRunningCopy();
    return 0;
  }
  // 3. The program's full path, for the start-with-Windows entry.
  DBModule::SetAppExePath(DBModule::BuildAppExePath(toolkit::Application::Path(),
                                                    toolkit::Application::EXEName()));
  // 4. The main window; its loading does the rest of the setting up.
  frmMain main;
  if (!main.Show()) return main.ExitCode() ? main.ExitCode() : 1;
  // 5. The program lives on the message loop until the main window is unloaded.
  return toolkit::Application::Run();
}

}  // namespace kelvara
