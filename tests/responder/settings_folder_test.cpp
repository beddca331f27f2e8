// The choice between the executable's folder and the configuration folder,
// the writability probe, and the private folders it creates.
#include "responder/settings_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace replyvane::responder {
namespace {

using testing::TempDir;

mode_t ModeOf(const std::string& path) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return 0;
  return status.st_mode & 07777;
}

// Sets an environment variable for one scope, restoring the old value.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    if (value == nullptr) {
      ::unsetenv(name);
    } else {
      ::setenv(name, value, 1);
    }
  }
  ~ScopedVariable() {
    if (had_) {
      ::setenv(name_, old_.c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(SettingsFolderTest, ChoosesBesideTheExecutableOrInTheConfigFolder) {
  struct Row {
    const char* name;
    const char* executable;
    bool portable;
    const char* xdg;
    const char* home;
    const char* expected;
  } rows[] = {
      {"portable copy wins over XDG", "/opt/rv/", true, "/x/cfg", "/home/jo",
       "/opt/rv/"},
      {"portable copy gets its slash", "/opt/rv", true, "", "/home/jo",
       "/opt/rv/"},
      {"XDG set", "/usr/bin/", false, "/x/cfg", "/home/jo",
       "/x/cfg/replyvane/"},
      {"XDG set with a slash", "/usr/bin/", false, "/x/cfg/", "/home/jo",
       "/x/cfg/replyvane/"},
      {"XDG unset", "/usr/bin/", false, "", "/home/jo",
       "/home/jo/.config/replyvane/"},
      {"XDG relative is ignored", "/usr/bin/", false, "cfg", "/home/jo",
       "/home/jo/.config/replyvane/"},
      {"home with a slash", "/usr/bin/", false, "", "/home/jo/",
       "/home/jo/.config/replyvane/"},
      {"no home and no XDG", "/usr/bin/", false, "", "", "/usr/bin/"},
  };
  for (const Row& row : rows) {
    std::string asked;
    FolderEnvironment environment{row.xdg, row.home,
                                  [&](const std::string& folder) {
                                    asked = folder;
                                    return row.portable;
                                  }};
    EXPECT_EQ(ChooseSettingsFolder(row.executable, environment), row.expected)
        << row.name;
    EXPECT_EQ(asked, row.executable) << row.name;
  }
}

TEST(SettingsFolderTest, ProbesWhetherFilesCanBeCreated) {
  TempDir dir("folder");
  testing::WriteFile(dir.File("file"), "");
  const std::string locked = dir.File("locked");
  ASSERT_EQ(::mkdir(locked.c_str(), 0555), 0);
  struct Row {
    std::string folder;
    bool expected;
  } rows[] = {
      {dir.Path(), true},
      {dir.Path() + "/", true},
      {dir.File("missing"), false},
      {dir.File("file"), false},
      // Root may write there whatever the mode says; others may not.
      {locked, ::geteuid() == 0},
      // access() allows root here, only the probe finds out.
      {"/proc", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsWritableFolder(row.folder), row.expected) << row.folder;
  }
  // The probe leaves nothing behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            2);
}

// A folder others may write in, or someone else's, never holds the
// settings: the passwords would be theirs to read, the files theirs to
// swap.
TEST(SettingsFolderTest, OnlyAPrivateFolderBesideTheProgramHoldsSettings) {
  TempDir dir("folder");
  const std::string shared = dir.File("shared");
  ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
  EXPECT_TRUE(IsPrivateFolder(shared));
  for (mode_t mode : {0770, 0707, 0777}) {
    ASSERT_EQ(::chmod(shared.c_str(), mode), 0);
    EXPECT_FALSE(IsPrivateFolder(shared)) << std::oct << mode;
  }
  ASSERT_EQ(::chmod(shared.c_str(), 0755), 0);
  EXPECT_TRUE(IsPrivateFolder(shared));
  EXPECT_FALSE(IsPrivateFolder(dir.File("missing")));
  // /tmp is writable by all (and, for most, someone else's).
  EXPECT_FALSE(IsPrivateFolder("/tmp"));
  ScopedVariable xdg("XDG_CONFIG_HOME", dir.File("cfg").c_str());
  testing::WriteFile(shared + "/Settings.ini", "");
  EXPECT_EQ(ChooseSettingsFolder(shared), shared + "/");
  ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
  EXPECT_EQ(ChooseSettingsFolder(shared), dir.File("cfg") + "/replyvane/");
}

TEST(SettingsFolderTest, CreatesTheConfigFolderPrivately) {
  TempDir dir("folder");
  const std::string base = dir.File("a/b");
  ScopedVariable xdg("XDG_CONFIG_HOME", base.c_str());
  // Nobody can create files in /proc: the choice falls to the XDG folder.
  EXPECT_EQ(ChooseSettingsFolder("/proc/"), base + "/replyvane/");
  for (const std::string& folder :
       {dir.File("a"), dir.File("a/b"), dir.File("a/b/replyvane")}) {
    EXPECT_EQ(ModeOf(folder), 0700u) << folder;
  }
  // A writable folder beside the program is no portable copy's until it
  // holds settings or the marker; then it is used as it is.
  ScopedVariable other("XDG_CONFIG_HOME", dir.File("other").c_str());
  EXPECT_EQ(ChooseSettingsFolder(dir.Path()),
            dir.File("other") + "/replyvane/");
  testing::WriteFile(dir.File(kPortableMarkerName), "");
  EXPECT_EQ(ChooseSettingsFolder(dir.Path()), dir.Path() + "/");
  ::unlink(dir.File(kPortableMarkerName).c_str());
  testing::WriteFile(dir.File("Settings.ini"), "");
  EXPECT_EQ(ChooseSettingsFolder(dir.Path()), dir.Path() + "/");
}

TEST(SettingsFolderTest, CreatePrivateFolderKeepsExistingModes) {
  TempDir dir("folder");
  const std::string open = dir.File("open");
  ASSERT_EQ(::mkdir(open.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(open.c_str(), 0755), 0);
  EXPECT_TRUE(CreatePrivateFolder(open + "/new/"));
  EXPECT_EQ(ModeOf(open), 0755u);
  EXPECT_EQ(ModeOf(open + "/new"), 0700u);
  EXPECT_TRUE(CreatePrivateFolder(open + "/new"));  // already there
  testing::WriteFile(dir.File("file"), "");
  EXPECT_FALSE(CreatePrivateFolder(dir.File("file/below")));
  EXPECT_FALSE(CreatePrivateFolder(dir.File("file")));
}

}  // namespace
}  // namespace replyvane::responder
