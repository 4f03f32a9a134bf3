// Start-up state shared by the program: the full path of the program file.
#pragma once

#include <string>
#include <string_view>

namespace kelvara::DBModule {

// The program file's path from its folder and its name without extension: one "\" between
// them, none added when the folder already ends with one (a drive root such as "C:\").
std::wstring BuildAppExePath(std::wstring_view folder, std::wstring_view exeName);

// Set once by Main before the main window is shown; read by the Options dialog.
const std::wstring& AppExePath();
void SetAppExePath(std::wstring path);

}  // namespace kelvara::DBModule
