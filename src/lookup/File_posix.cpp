// POSIX side of FileAccess.h: a shared flock while reading, an exclusive one to replace.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "FileAccess.h"

namespace kelvara {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

MappedFile::~MappedFile() {
  if (size_ > 0) ::munmap(const_cast<std::uint8_t*>(data_), size_);
  ::close(static_cast<int>(file_));
}

std::string PathForMessage(const std::filesystem::path& file) { return file.string(); }

MapFileResult MapAndHoldFile(const std::filesystem::path& file) {
  MapFileResult result;
  const std::string name = PathForMessage(file);
  auto fail = [&](DictError error, std::string message) {
    result.error = error;
    result.message = std::move(message);
    result.file.reset();
    return std::move(result);
  };

  Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    const int e = errno;
    if (e == ENOENT || e == ENOTDIR) return fail(DictError::Missing, "The dictionary file " + name + " does not exist.");
    return fail(DictError::Unreadable, "The dictionary file " + name + " cannot be opened: " + std::strerror(e) + ".");
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    return fail(DictError::Unreadable, "The dictionary file " + name + " cannot be examined: " + std::strerror(errno) + ".");
  }
  if (S_ISDIR(st.st_mode)) return fail(DictError::Unreadable, name + " is a folder, not a dictionary file.");
  if (!S_ISREG(st.st_mode)) return fail(DictError::Unreadable, name + " is not a regular file.");
  if (::flock(fd.get(), LOCK_SH | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      return fail(DictError::Locked, "The dictionary file " + name + " is being written by another program.");
    }
    return fail(DictError::Unreadable, "The dictionary file " + name + " cannot be locked: " + std::strerror(errno) + ".");
  }
  if (static_cast<std::uint64_t>(st.st_size) > kMaxDictionaryFileSize) {
    return fail(DictError::Unreadable, "The file " + name + " is too large to be a dictionary (over 2 GiB).");
  }
  const auto size = static_cast<std::size_t>(st.st_size);
  void* data = nullptr;  // an empty file maps nothing: it is read as no bytes
  if (size > 0) {
    data = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd.get(), 0);
    if (data == MAP_FAILED) {
      return fail(DictError::Unreadable, "The dictionary file " + name + " cannot be read: " + std::strerror(errno) + ".");
    }
  }
  result.file = std::make_unique<MappedFile>(fd.release(), 0, static_cast<const std::uint8_t*>(data), size);
  return result;
}

std::string ReplaceFileContents(const std::filesystem::path& target,
                                std::span<const std::uint8_t> bytes) {
  const std::string name = PathForMessage(target);
  // Readers hold a shared lock: an exclusive one we cannot get means the file is in use.
  Fd existing(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
  if (existing.get() >= 0 && ::flock(existing.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    return "Cannot replace " + name + ": another program has it open.";
  }

  std::string temp = target.string() + ".XXXXXX";
  Fd fd(::mkstemp(temp.data()));
  if (fd.get() < 0) return "Cannot create a temporary file beside " + name + ": " + std::strerror(errno) + ".";
  bool written = WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0 &&
                 ::fchmod(fd.get(), 0644) == 0;
  int writeError = written ? 0 : errno;
  if (::close(fd.release()) != 0 && written) {
    written = false;
    writeError = errno;
  }
  if (!written) {
    ::unlink(temp.c_str());
    return "Cannot write " + temp + ": " + std::strerror(writeError) + ".";
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int e = errno;
    ::unlink(temp.c_str());
    return "Cannot replace " + name + ": " + std::strerror(e) + ".";
  }
  return {};
}

}  // namespace kelvara
