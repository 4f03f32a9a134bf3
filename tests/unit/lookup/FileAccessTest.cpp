// The dictionary on disk: missing and unusable files, and the hold the program keeps on it.
#include <gtest/gtest.h>

#include <fstream>

#include "TestDictionary.h"
#include "lookup/FileAccess.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace kelvara {
namespace {

using test::TempDir;

// Another program writing the file: on Windows a handle open for writing, elsewhere the
// exclusive lock a writer takes.
class Writer {
 public:
  explicit Writer(const std::filesystem::path& file) {
#ifdef _WIN32
    handle_ = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ok_ = handle_ != INVALID_HANDLE_VALUE;
#else
    fd_ = ::open(file.c_str(), O_RDWR);
    ok_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
#endif
  }
  ~Writer() {
#ifdef _WIN32
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
#else
    if (fd_ >= 0) ::close(fd_);
#endif
  }
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
#ifdef _WIN32
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
  int fd_ = -1;
#endif
};

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::filesystem::path WriteSample(const TempDir& dir) {
  const auto file = dir / "Data.db";
  EXPECT_EQ(WriteDictionaryFile(file, std::vector<WordRow>{{"apple", "سیب"}, {"ab", "x"}}, test::FastOptions()), "");
  return file;
}

TEST(DictionaryFile, OpensFromDiskAndAnswersQueries) {
  TempDir dir;
  const auto opened = Dictionary::Open(WriteSample(dir));
  ASSERT_EQ(opened.error, DictError::None) << opened.message;
  EXPECT_EQ(SearchWords(*opened.dict, "AP").meaningText, "سیب");
  EXPECT_EQ(opened.message, "");
}

TEST(DictionaryFile, MissingFileAndFoldersAreNamedAsSuch) {
  TempDir dir;
  auto opened = Dictionary::Open(dir / "Data.db");
  EXPECT_EQ(opened.error, DictError::Missing);
  EXPECT_NE(opened.message.find("Data.db"), std::string::npos) << "the message names the file";
  EXPECT_NE(opened.message.find("does not exist"), std::string::npos);
  EXPECT_EQ(Dictionary::Open(dir / "no" / "Data.db").error, DictError::Missing);
  EXPECT_EQ(Dictionary::Open(dir.path()).error, DictError::Unreadable);
}

TEST(DictionaryFile, PersianFileNamesWork) {
  TempDir dir;
  const auto file = dir.path() / std::filesystem::path(u8"واژه‌نامه.db");
  ASSERT_EQ(WriteDictionaryFile(file, std::vector<WordRow>{{"a", "b"}}, test::FastOptions()), "");
  EXPECT_EQ(Dictionary::Open(file).error, DictError::None);
}

TEST(DictionaryFile, AFileBeingWrittenByAnotherProgramIsLocked) {
  TempDir dir;
  const auto file = WriteSample(dir);
  {
    Writer writer(file);
    ASSERT_TRUE(writer.ok());
    const auto opened = Dictionary::Open(file);
    EXPECT_EQ(opened.error, DictError::Locked) << opened.message;
    EXPECT_NE(opened.message.find("another program"), std::string::npos);
  }
  EXPECT_EQ(Dictionary::Open(file).error, DictError::None) << "free again once the writer is gone";
}

TEST(DictionaryFile, StaysHeldAgainstWritersUntilTheDictionaryIsDestroyed) {
  TempDir dir;
  const auto file = WriteSample(dir);
  const std::string before = ReadAll(file);
  {
    const auto held = Dictionary::Open(file);
    ASSERT_EQ(held.error, DictError::None);
    EXPECT_FALSE(Writer(file).ok()) << "nobody may write it while the program has it";
    const auto second = Dictionary::Open(file);
    EXPECT_EQ(second.error, DictError::None) << "readers share it";

    const std::string refused = WriteDictionaryFile(file, std::vector<WordRow>{{"new", "x"}}, test::FastOptions());
    EXPECT_NE(refused.find("another program has it open"), std::string::npos) << refused;
    EXPECT_EQ(ReadAll(file), before) << "the held file is left as it was";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file left behind";
  }
  EXPECT_TRUE(Writer(file).ok());
  EXPECT_EQ(WriteDictionaryFile(file, std::vector<WordRow>{{"new", "x"}}, test::FastOptions()), "");
  const auto reopened = Dictionary::Open(file);
  ASSERT_EQ(reopened.error, DictError::None);
  EXPECT_EQ(reopened.dict->English(0), "new");
}

TEST(DictionaryFile, DamageOnDiskIsReportedWithTheFileName) {
  TempDir dir;
  const auto file = WriteSample(dir);
  const std::string good = ReadAll(file);
  std::string bytes = good;
  bytes[format::kHeaderSize + 1] ^= 0x10;  // in the directory, which opening reads
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  const auto opened = Dictionary::Open(file);
  EXPECT_EQ(opened.error, DictError::Damaged);
  EXPECT_NE(opened.message.find("Data.db"), std::string::npos);
  EXPECT_NE(opened.message.find("damaged"), std::string::npos);

  bytes = good;
  bytes[bytes.size() - 3] ^= 0x10;  // in the last block, which only a lookup reads
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  const auto late = Dictionary::Open(file);
  ASSERT_EQ(late.error, DictError::None) << late.message;
  const std::string problem = late.dict->CheckAllBlocks();
  EXPECT_NE(problem.find("Data.db"), std::string::npos) << problem;
  EXPECT_NE(problem.find("damaged"), std::string::npos) << problem;
}

}  // namespace
}  // namespace kelvara
