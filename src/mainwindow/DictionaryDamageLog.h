// Damage that a lookup finds in the dictionary file after start (a block that fails its check):
// the meaning box says so in Persian and the program goes on; this writes the English line to
// the application event log under the product's name.
#pragma once

#include <string>

namespace kelvara {

void LogDictionaryDamage(const std::string& message);

}  // namespace kelvara
