// A small JSON writer for the probe's reports: objects and arrays nest, commas are placed for
// the caller, and UTF-16 text from the windows is written out as UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
 public:
  JsonWriter& BeginObject(std::string_view key = {});
  JsonWriter& EndObject();
  JsonWriter& BeginArray(std::string_view key = {});
  JsonWriter& EndArray();

  JsonWriter& Key(std::string_view key);
  JsonWriter& Value(std::wstring_view text);
  JsonWriter& Value(std::string_view utf8);
  JsonWriter& Value(const char* utf8) { return Value(std::string_view(utf8)); }
  JsonWriter& Value(bool flag);
  JsonWriter& Value(int64_t number);
  JsonWriter& Value(int number) { return Value(static_cast<int64_t>(number)); }
  JsonWriter& Value(long number) { return Value(static_cast<int64_t>(number)); }
  JsonWriter& Value(unsigned long number) { return Value(static_cast<int64_t>(number)); }
  JsonWriter& Null();

  template <typename T>
  JsonWriter& Field(std::string_view key, const T& value) {
    Key(key);
    return Value(value);
  }

  const std::string& str() const { return out_; }

 private:
  void BeforeValue();
  void String(std::string_view utf8);

  std::string out_;
  // Per open container: whether something has been written into it yet.
  std::vector<bool> started_;
  bool afterKey_ = false;
};

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD, so the output is always valid.
std::string ToUtf8(std::wstring_view text);
