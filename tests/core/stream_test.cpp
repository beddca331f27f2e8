#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "core/file_stream.h"
#include "core/memory_stream.h"

namespace replyvane::core {
namespace {

TEST(MemoryStreamTest, ReadsWritesSeeksAndGrows) {
  MemoryStream stream;
  stream.WriteString("hello");
  EXPECT_EQ(stream.Position(), 5);
  stream.SetPosition(1);
  stream.WriteString("ELLO world");
  EXPECT_EQ(stream.Data(), "hELLO world");
  stream.SetPosition(6);
  char buffer[16] = {};
  EXPECT_EQ(stream.Read(buffer, sizeof buffer), 5u);
  EXPECT_EQ(std::string(buffer, 5), "world");
  EXPECT_EQ(stream.Read(buffer, sizeof buffer), 0u);
  EXPECT_EQ(stream.Size(), 11);
  stream.SetSize(3);
  EXPECT_EQ(stream.Position(), 3);
  EXPECT_THROW(stream.ReadBuffer(buffer, 1), StreamError);
  stream.Seek(2, SeekOrigin::kEnd);
  stream.WriteString("!");
  EXPECT_EQ(stream.Data(), std::string("hEL\0\0!", 6));
}

TEST(FileStreamTest, CreatesPrivateFilesAndReportsFailures) {
  char dir_template[] = "/tmp/replyvane-core-XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  std::string path = std::string(dir_template) + "/data.bin";
  {
    FileStream out(path, FileMode::kCreate);
    out.WriteString("abc\r\ndef");
  }
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(ReadWholeFile(path), "abc\r\ndef");
  {
    FileStream in(path, FileMode::kOpenRead);
    EXPECT_EQ(in.Size(), 8);
    EXPECT_EQ(in.Position(), 0);
  }
  EXPECT_THROW(FileStream(path, FileMode::kCreateNew), StreamError);
  try {
    FileStream missing(path + ".none", FileMode::kOpenRead);
    FAIL();
  } catch (const StreamError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + path +
                                         ".none\". No such file or directory");
  }
  unlink(path.c_str());
  rmdir(dir_template);
}

}  // namespace
}  // namespace replyvane::core
