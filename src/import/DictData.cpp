#include "DictData.h"

#include "lookup/Utf8.h"

namespace kelvara::import {

bool DictData::Open(std::unique_ptr<ByteSource> source, std::string& error) {
  std::string head;
  const std::size_t headSize = static_cast<std::size_t>(std::min<std::uint64_t>(source->size(), 2));
  if (!source->ReadAt(0, headSize, head, error)) return false;
  if (LooksGzipped(head)) {
    dictzip_ = std::make_unique<DictzipReader>();
    return dictzip_->Open(std::move(source), error);
  }
  plain_ = std::move(source);
  return true;
}

bool DictData::Read(std::uint64_t offset, std::uint64_t length, std::string& out,
                    std::string& error) {
  if (dictzip_) return dictzip_->Read(offset, length, out, error);
  if (length > SIZE_MAX) {
    error = "a definition of " + std::to_string(length) + " bytes is too long";
    return false;
  }
  return plain_->ReadAt(offset, static_cast<std::size_t>(length), out, error);
}

std::string DisplayName(const std::filesystem::path& file) {
  const std::u8string name = file.u8string();
  return std::string(name.begin(), name.end());
}

bool ReadWholeFile(const std::filesystem::path& file, std::string& out, std::string& error,
                   std::uint64_t limit) {
  FileSource source;
  if (!source.Open(file, error)) return false;
  if (source.size() > limit) {
    error = "it holds " + std::to_string(source.size()) + " bytes, more than the " +
            std::to_string(limit) + " it may hold";
    return false;
  }
  return source.ReadAt(0, static_cast<std::size_t>(source.size()), out, error);
}

std::optional<std::filesystem::path> FindBeside(const std::filesystem::path& base,
                                                std::initializer_list<const char*> extensions) {
  for (const char* extension : extensions) {
    std::filesystem::path candidate = base;
    candidate += extension;
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  }
  return std::nullopt;
}

std::string QuoteWord(std::string_view word) {
  std::size_t end = 0;
  while (end < word.size() && end < 60) {
    char32_t cp;
    const std::size_t n = utf8::DecodeLenient(word.data() + end, word.data() + word.size(), &cp);
    if (end + n > 60) break;
    end += n;
  }
  std::string quoted = "\"" + std::string(word.substr(0, end));
  if (end < word.size()) quoted += "...";
  // Bytes that are not UTF-8 would spoil the whole message: they show as U+FFFD.
  std::string clean;
  for (std::size_t i = 0; i < quoted.size();) {
    char32_t cp;
    const std::size_t n = utf8::DecodeLenient(quoted.data() + i, quoted.data() + quoted.size(), &cp);
    utf8::Append(clean, cp);
    i += n;
  }
  return clean + "\"";
}

}  // namespace kelvara::import
