// Damage that a lookup finds in the dictionary file after start (a block that fails its check):
// the meaning box says so in Persian and the program goes on; this writes the English line to
// the application event log (source "Kelvara Dictionary").
#pragma once

#include <string>

void LogDictionaryDamage(const std::string& message);
