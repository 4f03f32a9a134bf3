#include "Startup.h"

#include <windows.h>

#include <commctrl.h>

#include "DBModule.h"
#include "SingleInstance.h"
#include "UninstallSwitch.h"
#include "frmMain.h"
#include "SecondStart.h"
#include "toolkit/Application.h"

namespace kelvara {

int Main() {
  // The installer's errand runs beside a running copy and shows nothing.
  if (const auto code = RunInstallerSwitch(GetCommandLineW(),
                                           DBModule::BuildAppExePath(toolkit::Application::Path(),
                                                                     toolkit::Application::EXEName())))
    return *code;
  // 1. Common controls 6, before any window exists.
  InitCommonControls();
  // 2. One copy at a time: a second one asks the first to come back, as its Shift+F9 would,
  //    and ends without a window or a dictionary of its own.
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
