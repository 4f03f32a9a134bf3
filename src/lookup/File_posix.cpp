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
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = other.release();
    }
    return *this;
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

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

struct ReplacementFile::State {
  std::filesystem::path target;
  std::string temp;
  Fd existing{-1};  // held with an exclusive lock until the rename, so no reader comes between
  Fd fd{-1};
  std::string failure;
};

ReplacementFile::ReplacementFile() = default;
ReplacementFile::~ReplacementFile() { Abandon(); }

std::string ReplacementFile::Open(const std::filesystem::path& target) {
  Abandon();
  auto state = std::make_unique<State>();
  state->target = target;
  const std::string name = PathForMessage(target);
  // Readers hold a shared lock: an exclusive one we cannot get means the file is in use.
  state->existing = Fd(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
  if (state->existing.get() >= 0 && ::flock(state->existing.get(), LOCK_EX | LOCK_NB) != 0 &&
      errno == EWOULDBLOCK) {
    return "Cannot replace " + name + ": another program has it open.";
  }
  state->temp = target.string() + ".XXXXXX";
  state->fd = Fd(::mkstemp(state->temp.data()));
  if (state->fd.get() < 0) return "Cannot create a temporary file beside " + name + ": " + std::strerror(errno) + ".";
  state_ = std::move(state);
  return {};
}

std::string ReplacementFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (!state_) return "Cannot write: the file is not open.";
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(state_->fd.get(), bytes.data() + done, bytes.size() - done,
                               static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const std::string message = "Cannot write " + state_->temp + ": " + std::strerror(n < 0 ? errno : EIO) + ".";
      Abandon();
      return message;
    }
    done += static_cast<std::size_t>(n);
  }
  return {};
}

std::string ReplacementFile::Commit() {
  if (!state_) return "Cannot write: the file is not open.";
  State& s = *state_;
  bool written = ::fsync(s.fd.get()) == 0 && ::fchmod(s.fd.get(), 0644) == 0;
  int writeError = written ? 0 : errno;
  if (::close(s.fd.release()) != 0 && written) {
    written = false;
    writeError = errno;
  }
  std::string failure;
  if (!written) {
    failure = "Cannot write " + s.temp + ": " + std::strerror(writeError) + ".";
  } else if (::rename(s.temp.c_str(), s.target.c_str()) != 0) {
    failure = "Cannot replace " + PathForMessage(s.target) + ": " + std::strerror(errno) + ".";
  } else {
    state_.reset();  // renamed: nothing to remove
    return {};
  }
  Abandon();
  return failure;
}

void ReplacementFile::Abandon() {
  if (!state_) return;
  state_->fd = Fd(-1);
  ::unlink(state_->temp.c_str());
  state_.reset();
}

}  // namespace kelvara
