// UTF-8 <-> UTF-16 conversion. The dictionary and files speak UTF-8, the Win32 interface UTF-16;
// every crossing goes through these two functions.
#pragma once

#include <string>
#include <string_view>

namespace kelvara::toolkit {

// Invalid input never fails: ill-formed sequences become U+FFFD, as the platform converts them.
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

}  // namespace kelvara::toolkit
