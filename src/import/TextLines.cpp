#include "TextLines.h"

#include "lookup/Utf8.h"

namespace kelvara::import {
namespace {

constexpr std::size_t kChunk = 1 << 16;

}  // namespace

TextLines::TextLines(std::string_view bytes, std::string name)
    : name_(std::move(name)), memory_(bytes), eof_(true), total_(bytes.size()) {}

TextLines::TextLines(const std::filesystem::path& file, std::string name)
    : name_(std::move(name)), file_(std::make_unique<std::ifstream>(file, std::ios::binary)) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  if (!*file_ || ec) {
    Fail("cannot open " + name_ + (ec ? ": " + ec.message() : std::string()) + ".");
    return;
  }
  total_ = size;
  pull_ = [this](std::string& chunk, std::size_t want, std::string& error) {
    const std::size_t old = chunk.size();
    chunk.resize(old + want);
    file_->read(chunk.data() + old, static_cast<std::streamsize>(want));
    chunk.resize(old + static_cast<std::size_t>(file_->gcount()));
    if (file_->bad()) {
      error = "cannot read " + name_ + ".";
      return false;
    }
    return chunk.size() > old;
  };
}

TextLines::TextLines(Pull pull, std::uint64_t total, std::string name)
    : name_(std::move(name)), pull_(std::move(pull)), total_(total) {}

bool TextLines::Fail(std::string why) {
  if (error_.empty()) error_ = std::move(why);
  return false;
}

bool TextLines::Fill() {
  if (eof_) return false;
  buf_.erase(0, pos_);
  pos_ = 0;
  const std::size_t old = buf_.size();
  std::string why;
  const bool more = pull_(buf_, kChunk, why);
  if (!why.empty()) {
    eof_ = true;
    return Fail(why);
  }
  if (!more || buf_.size() == old) eof_ = true;
  return buf_.size() > old;
}

void TextLines::Detect() {
  detected_ = true;
  std::string_view d = memory_.data() ? memory_ : std::string_view(buf_);
  d.remove_prefix(pos_);
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(d[i]); };
  std::size_t skip = 0;
  if (d.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
    skip = 3;
  } else if (d.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
    encoding_ = TextEncoding::Utf16Le;
    skip = 2;
  } else if (d.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) {
    encoding_ = TextEncoding::Utf16Be;
    skip = 2;
  } else if (d.size() >= 2 && at(0) != 0 && at(1) == 0) {
    // No mark, but the first character is ASCII in UTF-16LE ("#NAME", a headword).
    encoding_ = TextEncoding::Utf16Le;
  } else if (d.size() >= 2 && at(0) == 0 && at(1) != 0) {
    encoding_ = TextEncoding::Utf16Be;
  }
  bom_ = skip > 0;
  pos_ += skip;
  consumed_ += skip;
}

bool TextLines::Next(std::string& line) {
  line.clear();
  if (!error_.empty()) return false;
  if (pull_ && !detected_) {
    while (buf_.size() - pos_ < 4 && Fill()) {
    }
    if (!error_.empty()) return false;
  }
  if (!detected_) Detect();
  const std::size_t unit = encoding_ == TextEncoding::Utf8 ? 1 : 2;
  auto unitAt = [&](std::string_view d, std::size_t i) -> unsigned {
    const auto a = static_cast<unsigned char>(d[i]);
    if (unit == 1) return a;
    const auto b = static_cast<unsigned char>(d[i + 1]);
    return encoding_ == TextEncoding::Utf16Le ? a | (b << 8) : (a << 8) | b;
  };

  std::size_t scan = pos_;
  for (;;) {
    std::string_view d = memory_.data() ? memory_ : std::string_view(buf_);
    std::size_t end = std::string_view::npos;
    if (unit == 1) {
      // memchr for the common LF, then for a CR before it.
      const std::size_t lf = d.find('\n', scan);
      const std::size_t cr = d.substr(0, lf == std::string_view::npos ? d.size() : lf).find('\r', scan);
      end = cr != std::string_view::npos ? cr : lf;
    } else {
      for (std::size_t i = scan; i + unit <= d.size(); i += unit) {
        const unsigned u = unitAt(d, i);
        if (u == '\n' || u == '\r') {
          end = i;
          break;
        }
      }
    }
    // A CR at the very end of what we hold may be the first half of CR LF.
    const bool needMore = end == std::string_view::npos ||
                          (unitAt(d, end) == '\r' && end + 2 * unit > d.size() && !eof_);
    if (needMore && !eof_) {
      if (d.size() - pos_ > kMaxLineBytes) {
        return Fail(name_ + ": line " + std::to_string(line_ + 1) + " is longer than " +
                    std::to_string(kMaxLineBytes >> 20) + " MiB; this is not a dictionary's text.");
      }
      const std::size_t scanned = (end == std::string_view::npos ? d.size() : end) - pos_;
      const std::size_t keep = scanned - scanned % unit;
      if (!Fill() && !error_.empty()) return false;
      scan = pos_ + keep;
      continue;
    }
    std::size_t lineEnd = end, next = end;
    if (end == std::string_view::npos) {
      const std::size_t rest = d.size() - pos_;
      if (rest % unit != 0) {
        return Fail(name_ + ": UTF-16 text with an odd number of bytes (the last character is cut "
                            "off); the file is truncated or is not UTF-16.");
      }
      if (rest == 0) return false;
      lineEnd = next = d.size();
    } else {
      next = end + unit;
      if (unitAt(d, end) == '\r' && next + unit <= d.size() && unitAt(d, next) == '\n') next += unit;
    }
    if (lineEnd - pos_ > kMaxLineBytes) {
      return Fail(name_ + ": line " + std::to_string(line_ + 1) + " is longer than " +
                  std::to_string(kMaxLineBytes >> 20) + " MiB; this is not a dictionary's text.");
    }
    const std::string_view raw = d.substr(pos_, lineEnd - pos_);
    ++line_;
    if (unit == 1) {
      if (const std::size_t bad = utf8::FindInvalid(raw); bad != std::string_view::npos) {
        return Fail(name_ + ": line " + std::to_string(line_) + " is not valid UTF-8 (byte " +
                    std::to_string(bad + 1) + "); save the file as UTF-8 or UTF-16 first.");
      }
      line.assign(raw);
    } else {
      std::u16string wide(raw.size() / 2, u'\0');
      for (std::size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<char16_t>(unitAt(raw, 2 * i));
      line = utf8::FromUtf16(wide);
    }
    consumed_ += next - pos_;
    pos_ = next;
    return true;
  }
}

}  // namespace kelvara::import
