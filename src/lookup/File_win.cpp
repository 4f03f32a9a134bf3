// Windows side of FileAccess.h: the dictionary is opened shared for reading only, so nobody can
// write, rename or delete it while the program holds it.
#include <windows.h>

#include "FileAccess.h"
#include "Utf8.h"

namespace kelvara {
namespace {

struct HandleCloser {
  void operator()(HANDLE h) const {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

UniqueHandle Wrap(HANDLE h) { return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h); }

std::string LastErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (n != 0 && buffer != nullptr) {
    text = utf8::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(buffer), n));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
      text.pop_back();
    }
  }
  LocalFree(buffer);
  if (text.empty()) text = "error " + std::to_string(code);
  return text;
}

bool IsInUse(DWORD code) { return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION; }

}  // namespace

MappedFile::~MappedFile() {
  if (data_ != nullptr) UnmapViewOfFile(data_);
  if (mapping_ != 0) CloseHandle(reinterpret_cast<HANDLE>(mapping_));
  CloseHandle(reinterpret_cast<HANDLE>(file_));
}

std::string PathForMessage(const std::filesystem::path& file) {
  const std::wstring& w = file.native();
  return utf8::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(w.data()), w.size()));
}

MapFileResult MapAndHoldFile(const std::filesystem::path& file) {
  MapFileResult result;
  const std::string name = PathForMessage(file);
  auto fail = [&](DictError error, std::string message) {
    result.error = error;
    result.message = std::move(message);
    result.file.reset();
    return std::move(result);
  };

  UniqueHandle h = Wrap(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) {
    const DWORD e = GetLastError();
    if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME) {
      return fail(DictError::Missing, "The dictionary file " + name + " does not exist.");
    }
    if (IsInUse(e)) {
      return fail(DictError::Locked, "The dictionary file " + name + " is in use by another program.");
    }
    if (e == ERROR_ACCESS_DENIED && std::filesystem::is_directory(file)) {
      return fail(DictError::Unreadable, name + " is a folder, not a dictionary file.");
    }
    return fail(DictError::Unreadable, "The dictionary file " + name + " cannot be opened: " + LastErrorText(e) + ".");
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h.get(), &size)) {
    return fail(DictError::Unreadable, "The dictionary file " + name + " cannot be examined: " + LastErrorText(GetLastError()) + ".");
  }
  if (static_cast<std::uint64_t>(size.QuadPart) > kMaxDictionaryFileSize) {
    return fail(DictError::Unreadable, "The file " + name + " is too large to be a dictionary (over 2 GiB).");
  }
  const auto bytes = static_cast<std::size_t>(size.QuadPart);
  // An empty file cannot be mapped: it is read as no bytes.
  UniqueHandle mapping;
  const void* view = nullptr;
  if (bytes > 0) {
    mapping = UniqueHandle(CreateFileMappingW(h.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (mapping) view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
    if (!view) {
      return fail(DictError::Unreadable, "The dictionary file " + name + " cannot be read: " + LastErrorText(GetLastError()) + ".");
    }
  }
  result.file = std::make_unique<MappedFile>(reinterpret_cast<std::intptr_t>(h.release()),
                                             reinterpret_cast<std::intptr_t>(mapping.release()),
                                             static_cast<const std::uint8_t*>(view), bytes);
  return result;
}

struct ReplacementFile::State {
  std::filesystem::path target, temp;
  UniqueHandle file;
};

ReplacementFile::ReplacementFile() = default;
ReplacementFile::~ReplacementFile() { Abandon(); }

std::string ReplacementFile::Open(const std::filesystem::path& target) {
  Abandon();
  const std::string name = PathForMessage(target);
  // A reader (the program) shares the file for reading only; asking for it exclusively tells
  // whether anyone has it open before we write anything.
  {
    UniqueHandle probe = Wrap(CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe && IsInUse(GetLastError())) {
      return "Cannot replace " + name + ": another program has it open.";
    }
  }
  auto state = std::make_unique<State>();
  state->target = target;
  state->temp = target;
  state->temp += L".tmp" + std::to_wstring(GetCurrentProcessId());
  state->file = Wrap(CreateFileW(state->temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!state->file) return "Cannot create " + PathForMessage(state->temp) + ": " + LastErrorText(GetLastError()) + ".";
  state_ = std::move(state);
  return {};
}

std::string ReplacementFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (!state_) return "Cannot write: the file is not open.";
  std::size_t done = 0;
  while (done < bytes.size()) {
    OVERLAPPED at{};
    const std::uint64_t where = offset + done;
    at.Offset = static_cast<DWORD>(where);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    DWORD put = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    if (!WriteFile(state_->file.get(), bytes.data() + done, want, &put, &at) || put == 0) {
      const std::string message = "Cannot write " + PathForMessage(state_->temp) + ": " + LastErrorText(GetLastError()) + ".";
      Abandon();
      return message;
    }
    done += put;
  }
  return {};
}

std::string ReplacementFile::Commit() {
  if (!state_) return "Cannot write: the file is not open.";
  State& s = *state_;
  if (!FlushFileBuffers(s.file.get())) {
    const std::string message = "Cannot write " + PathForMessage(s.temp) + ": " + LastErrorText(GetLastError()) + ".";
    Abandon();
    return message;
  }
  s.file.reset();
  if (!MoveFileExW(s.temp.c_str(), s.target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD e = GetLastError();
    const std::string name = PathForMessage(s.target);
    Abandon();
    if (IsInUse(e)) return "Cannot replace " + name + ": another program has it open.";
    return "Cannot replace " + name + ": " + LastErrorText(e) + ".";
  }
  state_.reset();
  return {};
}

void ReplacementFile::Abandon() {
  if (!state_) return;
  state_->file.reset();
  DeleteFileW(state_->temp.c_str());
  state_.reset();
}

}  // namespace kelvara
