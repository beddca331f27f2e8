// The saved settings as the unattended run reads them: the same meaning the
// settings windows give the stored texts.
#include "responder/settings_files.h"

#include <gtest/gtest.h>

#include <string>

#include "responder/response_lines.h"
#include "tests/support/temp_dir.h"

namespace replyvane::responder {
namespace {

using replyvane::testing::ReadFile;
using replyvane::testing::TempDir;
using replyvane::testing::WriteFile;

TEST(SettingsFilesTest, StoredTextsMeanWhatTheWindowsMakeOfThem) {
  struct Row {
    std::string options;  // lines of [Options] after the hosts
    int32_t pop3_port;
    int32_t smtp_port;
    mail::AuthenticationType authentication;
  };
  using mail::AuthenticationType;
  const Row rows[] = {
      {"8=995\r\n9=587\r\n10=0\r\n", 995, 587, AuthenticationType::atNone},
      {"8= $6E\r\n9=x25\r\n10=1\r\n", 110, 1, AuthenticationType::atLogin},
      {"10=7\r\n", 1, 1, AuthenticationType::atLogin},
      {"", 1, 1, AuthenticationType::atNone},
  };
  for (const Row& row : rows) {
    TempDir dir("settings");
    WriteFile(dir.File("Settings.ini"),
              "[Options]\r\n1=smtp.example\r\n2=pop.example\r\n3=u\r\n" +
                  row.options + "[Reponder]\r\n2=\"me@example.com\"\r\n");
    const Settings settings = ReadSavedSettings(dir.Path());
    EXPECT_EQ(settings.pop3_port, row.pop3_port) << row.options;
    EXPECT_EQ(settings.smtp_port, row.smtp_port) << row.options;
    EXPECT_EQ(settings.smtp_authentication, row.authentication) << row.options;
    EXPECT_EQ(settings.smtp_host, "smtp.example");
    EXPECT_EQ(settings.pop3_host, "pop.example");
    EXPECT_EQ(settings.from_address, "me@example.com");
    EXPECT_TRUE(settings.forward);  // on when never saved
    EXPECT_TRUE(settings.response_body.empty());
  }
}

TEST(SettingsFilesTest, ResponseLinesAndAttachments) {
  TempDir dir("settings");
  WriteFile(dir.File("Settings.ini"), "[Reponder]\r\n4=0\r\n5=fw@x\r\n");
  WriteFile(dir.File("response.dat"), "One.\r\n\r\nTwo.");
  WriteFile(dir.File("attach.dat"), "/a/b.pdf\r\n/c d.txt\r\n");
  const Settings settings = ReadSavedSettings(dir.Path() + "/");
  EXPECT_EQ(settings.response_body,
            (std::vector<std::string>{"One.", "", "Two."}));
  EXPECT_EQ(settings.attachment_paths,
            (std::vector<std::string>{"/a/b.pdf", "/c d.txt"}));
  EXPECT_FALSE(settings.forward);
  EXPECT_EQ(settings.forward_address, "fw@x");
}

// The lines the window wrapped are sent only while they belong to the
// response text; a text edited by hand since, or a cut file, sends its own.
TEST(SettingsFilesTest, WrappedLinesBelongToTheirText) {
  TempDir dir("settings");
  WriteFile(dir.File("Settings.ini"), "[Reponder]\r\n2=me@x\r\n");
  const std::string text = "A long line to wrap.\r\nShort.";
  WriteFile(dir.File("response.dat"), text);
  const std::string folder = dir.Path() + "/";
  WriteResponseLines(folder + kResponseLinesName, text,
                     {"A long line ", "to wrap.", "Short."});
  const std::vector<std::string> wrapped = {"A long line ", "to wrap.",
                                            "Short."};
  EXPECT_EQ(ReadSavedSettings(folder).response_body, wrapped);

  const std::vector<std::string> own = {"A long line to wrap.", "Short."};
  const std::string edited = "Edited.";
  WriteFile(dir.File("response.dat"), edited);
  EXPECT_EQ(ReadSavedSettings(folder).response_body,
            std::vector<std::string>{edited});

  WriteFile(dir.File("response.dat"), text);
  const std::string whole = ReadFile(dir.File(kResponseLinesName));
  WriteFile(dir.File(kResponseLinesName), whole.substr(0, whole.size() - 3));
  EXPECT_EQ(ReadSavedSettings(folder).response_body, own);
  WriteFile(dir.File(kResponseLinesName), "garbage\r\n");
  EXPECT_EQ(ReadSavedSettings(folder).response_body, own);
}

TEST(SettingsFilesTest, NoSettingsFileIsUnreadableSettings) {
  TempDir dir("settings");
  EXPECT_THROW(ReadSavedSettings(dir.Path()), SettingsUnreadable);
}

}  // namespace
}  // namespace replyvane::responder
