// Saving the three settings files: each is replaced whole or not at all. A
// full disk, a file-size limit or a kill in the middle of a save leaves the
// old bytes; a symbolic link stays a link and its target gets the new bytes;
// the files are private.
#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <string>

#include "core/exception.h"
#include "responder/data_files.h"
#include "responder/ini_file.h"
#include "tests/support/temp_dir.h"

namespace replyvane::responder {
namespace {

using replyvane::testing::ReadFile;
using replyvane::testing::TempDir;
using replyvane::testing::WriteFile;

constexpr char kIni[] = "Settings.ini";
constexpr char kResponse[] = "response.dat";
constexpr char kAttach[] = "attach.dat";
constexpr int kIniKeys = 16;

// One save of all three files as the settings store does it, every value
// `size` bytes of `fill`.
void SaveAll(const std::string& folder, char fill, size_t size) {
  WriteResponseFile(folder + "/" + kResponse, std::string(size, fill));
  WriteAttachFile(folder + "/" + kAttach, {std::string(size, fill)});
  IniFile ini(folder + "/" + kIni);
  for (int key = 1; key <= kIniKeys; ++key) {
    ini.WriteString("Options", std::to_string(key),
                    std::string(size / kIniKeys, fill));
  }
  ini.UpdateFile();
}

std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    ::closedir(dir);
  }
  return names;
}

unsigned Mode(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : ~0u;
}

// Runs `body` in a child process and returns what it returned (empty when
// all was well), what it raised, or why it gave no answer within a minute.
std::string InChild(const std::function<std::string()>& body) {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return "no pipe";
  pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_ends[0]);
    std::string result;
    try {
      result = body();
    } catch (const std::exception& failure) {
      result = std::string("raised: ") + failure.what();
    }
    if (::write(pipe_ends[1], result.data(), result.size()) < 0) _exit(1);
    _exit(0);
  }
  ::close(pipe_ends[1]);
  std::string result;
  pollfd wait_for{pipe_ends[0], POLLIN, 0};
  char chunk[4096];
  for (;;) {
    if (::poll(&wait_for, 1, 60000) <= 0) {
      ::kill(child, SIGKILL);
      result = "no answer in time";
      break;
    }
    ssize_t n = ::read(pipe_ends[0], chunk, sizeof chunk);
    if (n <= 0) break;
    result.append(chunk, size_t(n));
  }
  ::close(pipe_ends[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    result += " (child ended badly)";
  }
  return result;
}

// In the child: each file has small old bytes, then a save too big for the
// room left fails with its own text and leaves every old file as it was.
std::string SaveTooBigForTheRoom(const std::string& folder, int error) {
  SaveAll(folder, 'a', 64);
  const std::set<std::string> before = Entries(folder);
  std::string old[3];
  const char* names[3] = {kIni, kResponse, kAttach};
  for (int i = 0; i < 3; ++i) old[i] = ReadFile(folder + "/" + names[i]);
  const std::string big(256 * 1024, 'b');
  const std::string reason = std::strerror(error);
  std::string faults;
  auto expect_failure = [&](const std::function<void()>& save,
                            const std::string& text) {
    try {
      save();
      faults += "no failure for " + text + "; ";
    } catch (const core::Exception& failure) {
      if (failure.Message() != text) {
        faults += "\"" + failure.Message() + "\" for \"" + text + "\"; ";
      }
    }
  };
  const std::string response = folder + "/" + kResponse;
  const std::string attach = folder + "/" + kAttach;
  const std::string ini_path = folder + "/" + kIni;
  expect_failure([&] { WriteResponseFile(response, big); },
                 "Cannot write file \"" + response + "\". " + reason);
  expect_failure([&] { WriteAttachFile(attach, {big}); },
                 "Cannot write file \"" + attach + "\". " + reason);
  expect_failure(
      [&] {
        IniFile ini(ini_path);
        ini.WriteString("Options", "1", big);
        ini.UpdateFile();
      },
      "Unable to write to " + ini_path);
  for (int i = 0; i < 3; ++i) {
    if (ReadFile(folder + "/" + names[i]) != old[i]) {
      faults += std::string(names[i]) + " changed; ";
    }
  }
  if (Entries(folder) != before) faults += "files left behind; ";
  return faults;
}

TEST(SettingsWriteTest, NoRoomLeavesTheOldFilesByteForByte) {
  {
    SCOPED_TRACE("file-size limit");
    TempDir dir("no-room");
    EXPECT_EQ(InChild([&]() -> std::string {
                // The write then fails with EFBIG instead of a signal.
                std::signal(SIGXFSZ, SIG_IGN);
                rlimit limit{64 * 1024, 64 * 1024};
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return "setrlimit";
                return SaveTooBigForTheRoom(dir.Path(), EFBIG);
              }),
              "");
  }
  {
    SCOPED_TRACE("full file system");
    TempDir dir("full-disk");
    // A small tmpfs in a mount namespace of the child's own, so nothing
    // outlives the test; needs root.
    std::string result = InChild([&]() -> std::string {
      if (::unshare(CLONE_NEWNS) != 0 ||
          ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
          ::mount("tmpfs", dir.Path().c_str(), "tmpfs", 0, "size=64k") != 0) {
        return "skip";
      }
      return SaveTooBigForTheRoom(dir.Path(), ENOSPC);
    });
    if (result == "skip") {
      GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    }
    EXPECT_EQ(result, "");
  }
}

TEST(SettingsWriteTest, AKilledSaveLeavesTheOldOrTheNewFiles) {
  constexpr size_t kSize = 512 * 1024;
  TempDir reference_a("saved-a");
  TempDir reference_b("saved-b");
  SaveAll(reference_a.Path(), 'a', kSize);
  SaveAll(reference_b.Path(), 'b', kSize);
  TempDir dir("killed");
  SaveAll(dir.Path(), 'a', kSize);
  std::mt19937 random(12);
  std::uniform_int_distribution<int> delay_us(0, 40000);
  for (int round = 0; round < 30; ++round) {
    pid_t child = ::fork();
    if (child == 0) {
      for (int save = 0;; ++save) {
        SaveAll(dir.Path(), save % 2 == 0 ? 'b' : 'a', kSize);
      }
    }
    ::usleep(useconds_t(delay_us(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    for (const char* name : {kIni, kResponse, kAttach}) {
      const std::string now = ReadFile(dir.File(name));
      EXPECT_TRUE(now == ReadFile(reference_a.File(name)) ||
                  now == ReadFile(reference_b.File(name)))
          << name << " after round " << round << ": " << now.size() << " bytes";
    }
  }
  // A kill between creating and renaming a temporary file leaves that
  // hidden file; the settings files themselves are never touched in place.
  for (const std::string& name : Entries(dir.Path())) {
    if (name == kIni || name == kResponse || name == kAttach) continue;
    EXPECT_EQ(name.front(), '.') << name;
  }
}

TEST(SettingsWriteTest, LinksStayLinksAndTheirTargetsGetTheBytes) {
  TempDir real("link-targets");
  TempDir dir("links");
  WriteFile(real.File(kIni), "[Options]\r\n1=old\r\n");
  // Relative, absolute to a file not made yet, and a chain of two.
  ASSERT_EQ(::symlink(("../" + real.Path().substr(real.Path().rfind('/') + 1) +
                       "/" + kIni)
                          .c_str(),
                      dir.File(kIni).c_str()),
            0);
  ASSERT_EQ(
      ::symlink(real.File(kResponse).c_str(), dir.File(kResponse).c_str()), 0);
  ASSERT_EQ(::symlink(real.File(kAttach).c_str(), dir.File("hop").c_str()), 0);
  ASSERT_EQ(::symlink("hop", dir.File(kAttach).c_str()), 0);

  SaveAll(dir.Path(), 'n', 32);

  for (const char* name : {kIni, kResponse, kAttach}) {
    struct stat status;
    ASSERT_EQ(::lstat(dir.File(name).c_str(), &status), 0) << name;
    EXPECT_TRUE(S_ISLNK(status.st_mode)) << name;
    EXPECT_EQ(Mode(real.File(name)), 0600u) << name;
  }
  EXPECT_EQ(ReadFile(real.File(kResponse)), std::string(32, 'n'));
  EXPECT_EQ(ReadFile(real.File(kAttach)), std::string(32, 'n') + "\r\n");
  EXPECT_EQ(ReadFile(real.File(kIni)),
            "[Options]\r\n1=nn\r\n2=nn\r\n3=nn\r\n4=nn\r\n5=nn\r\n6=nn\r\n"
            "7=nn\r\n8=nn\r\n9=nn\r\n10=nn\r\n11=nn\r\n12=nn\r\n13=nn\r\n"
            "14=nn\r\n15=nn\r\n16=nn\r\n");
  EXPECT_EQ(Entries(dir.Path()),
            std::set<std::string>({kIni, kResponse, kAttach, "hop"}));
  EXPECT_EQ(Entries(real.Path()),
            std::set<std::string>({kIni, kResponse, kAttach}));
}

TEST(SettingsWriteTest, SavedFilesArePrivateAndReplaced) {
  TempDir dir("modes");
  const mode_t old_mask = ::umask(0);
  SaveAll(dir.Path(), 'x', 16);  // new files
  for (const char* name : {kIni, kResponse, kAttach}) {
    EXPECT_EQ(Mode(dir.File(name)), 0600u) << name;
    ASSERT_EQ(::chmod(dir.File(name).c_str(), 0666), 0);
  }
  struct stat before;
  ASSERT_EQ(::stat(dir.File(kResponse).c_str(), &before), 0);
  SaveAll(dir.Path(), 'y', 16);  // files others could read
  ::umask(old_mask);
  for (const char* name : {kIni, kResponse, kAttach}) {
    EXPECT_EQ(Mode(dir.File(name)), 0600u) << name;
  }
  // A new file took the old one's place: nothing was rewritten in place.
  struct stat after;
  ASSERT_EQ(::stat(dir.File(kResponse).c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(ReadFile(dir.File(kResponse)), std::string(16, 'y'));
}

}  // namespace
}  // namespace replyvane::responder
