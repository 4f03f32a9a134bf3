// The application object: where the program lives, how it was started, and its message loop.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kelvara::toolkit {

// Path helpers, pure so they can be tested on any text.
// Folder of a full file path, without a trailing "\" unless it is a drive root ("C:\").
std::wstring FolderOf(std::wstring_view fullPath);
// File name without its extension ("C:\Tools\kelvara.exe" -> "kelvara").
std::wstring FileTitleOf(std::wstring_view fullPath);
// The arguments of a command line as one text: the program name (quoted or not) and the blanks
// after it are dropped, the rest is kept exactly.
std::wstring ArgumentsOf(std::wstring_view commandLine);

class Application {
 public:
  static HINSTANCE Instance();
  static std::wstring ModulePath();  // full path of the running program file
  static std::wstring Path();        // its folder (see FolderOf)
  static std::wstring EXEName();     // its file name without extension
  static std::wstring Command();     // the command-line arguments as one text

  // Runs the message loop until the program ends; returns the exit code given to End.
  static int Run();
  // Handles every message that is waiting, then returns; each timer ticks at most once per call.
  static void DoEvents();
  // Keyboard handling of the windows (key preview, Tab, default and cancel buttons), then
  // translation and dispatch. Every loop of the program, the modal ones included, uses it.
  static void ProcessMessage(MSG& msg);
  // Ends the message loop with this exit code.
  static void End(int exitCode);
};

}  // namespace kelvara::toolkit
