// The probe's soak and fault commands (counters, clipboard, repeated use of the main window).
#pragma once

// Runs the command in argv[1] if it is one of these; -1 when it is not.
int SoakCommand(int argc, wchar_t** argv);
// Their lines for the probe's usage text.
const char* SoakUsage();
