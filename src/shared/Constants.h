// The names and titles the program shows, registers or matches, each written once here and
// used from every layer. Header only; it includes nothing.
#pragma once

namespace kelvara {

// The product's name where the system shows or stores it: the main window's title, the
// start-with-Windows value, the event source of the tray engine's reports, the debugger log.
inline constexpr wchar_t kProductName[] = L"Kelvara Dictionary";
// The product's Persian title: the tray icon's tooltip and the title of the message boxes.
inline constexpr wchar_t kProductTitle[] = L"واژه نامه کلوارا";

// The window class of every form; a second start looks for the running copy among them.
inline constexpr wchar_t kFormClassName[] = L"KelvaraForm";
// Registered by name: the second start's message to the running copy, and the mutex that
// allows one copy per user session.
inline constexpr wchar_t kSecondStartMessageName[] = L"Kelvara Dictionary: second start";
inline constexpr wchar_t kInstanceMutexName[] = L"Local\\KelvaraDictionary.Instance";

// Resources of the program file: the run-time icon of every window and of the tray icon, and
// the About dialog's picture.
inline constexpr wchar_t kIconResource[] = L"AAA";
inline constexpr wchar_t kAboutPictureResource[] = L"ABOUTPIC";

// The dictionary the program opens, looked for by this name.
inline constexpr wchar_t kDictionaryFileName[] = L"Data.db";

}  // namespace kelvara
