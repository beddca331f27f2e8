// Start-up with and without settings files, the load rules for odd values,
// and what the close leaves on disk, including failed saves.
#include "app/settings_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>

#include "app/mailbox_panel.h"
#include "app/main_window.h"
#include "app/numeric_box.h"
#include "app/program.h"
#include "app/responder_settings_window.h"
#include "app/settings_window.h"
#include "responder/data_files.h"
#include "responder/settings_files.h"
#include "tests/app/box_closer.h"
#include "tests/app/file_helpers.h"

namespace replyvane::app {
namespace {

QStringList Entries(const QListWidget* list) {
  QStringList entries;
  for (int i = 0; i < list->count(); ++i) entries << list->item(i)->text();
  return entries;
}

const char kEmptySettings[] =
    "[Options]\r\n1=\r\n2=\r\n3=\r\n4=\r\n5=\r\n6=\r\n7=\r\n8=\r\n9=\r\n"
    "10=0\r\n[Reponder]\r\n1=\r\n2=\r\n3=\r\n4=1\r\n5=\r\n";

// Every key with a value of its own, as the original program wrote them.
const char kFullSettings[] =
    "[Options]\r\n1=smtp.example.org\r\n2=pop.example.org\r\n3=jo\r\n"
    "4=s\xc3\xa9same, open\r\n5=15\r\n6=jo@example.org\r\n7=p=w\r\n8=abc\r\n"
    "9=587\r\n10=1\r\n[Reponder]\r\n1=Jo Example\r\n2=jo@example.org\r\n"
    "3=Re: away\r\n4=0\r\n5=desk@example.org\r\n";

}  // namespace

class SettingsStoreTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    path_ = dir_->path().toStdString() + "/";
  }

  void StartsEmptyWithoutFiles() {
    Program program(path_);
    SettingsWindow& form1 = program.Form1();
    ResponderSettingsWindow& form2 = program.Form2();
    for (QLineEdit* box : std::initializer_list<QLineEdit*>{
             form1.Edit1(), form1.Edit2(), form1.Edit3(), form1.Edit4(),
             form1.Edit5(), form1.Edit6(), form1.SpinEdit1(), form1.SpinEdit2(),
             form1.SpinEdit3(), form2.Edit1(), form2.Edit2(), form2.Edit3(),
             form2.Edit4()}) {
      QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
    }
    QCOMPARE(form1.ComboBox1()->currentIndex(), 0);
    QCOMPARE(form1.ComboBox1()->currentText(), QString("None"));
    QVERIFY(form2.CheckBox1()->isChecked());
    QVERIFY(form2.Memo1Text().isEmpty());
    QCOMPARE(form2.ListBox1()->count(), 0);
    QCOMPARE(program.frmMain().lvHeaders()->topLevelItemCount(), 0);
    QCOMPARE(program.frmMain().PanelText(1), QString());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(!form1.isVisible() && !form2.isVisible());

    // Saving always writes all three files, even with nothing changed.
    QVERIFY(program.frmMain().close());
    QCOMPARE(Slurp(path_ + "Settings.ini"), std::string(kEmptySettings));
    QCOMPARE(Slurp(path_ + "response.dat"), std::string());
    QCOMPARE(Slurp(path_ + "attach.dat"), std::string());
    for (const char* name : {"Settings.ini", "response.dat", "attach.dat"}) {
      QVERIFY2(Mode(path_ + name) == 0600, name);
    }
    // Nothing beyond the specified files while the new settings are unused.
    for (const char* name :
         {"response.html", "never-answer.txt", "only-answer.txt"}) {
      QVERIFY2(!QFile::exists(QString::fromStdString(path_ + name)), name);
    }
  }

  // What the windows do not show (yet) is written back as it was read.
  void SettingsBeyondTheWindowsSurvive() {
    const std::string ini = std::string(kFullSettings) +
                            "[History]\r\nKeepDays=90\r\n"
                            "[OAuth Mailbox]\r\nProvider=Microsoft\r\n"
                            "ClientId=abc\r\n[OAuth SMTP]\r\nProvider=Other\r\n"
                            "ClientId=x\r\nTokenEndpoint=https://t.example/"
                            "token\r\nScopes=a b\r\n";
    Put(path_ + "Settings.ini", ini);
    {
      Program program(path_);
      QCOMPARE(program.Form1().OAuth(false).client_id, std::string("abc"));
      QVERIFY(program.frmMain().close());
    }
    QCOMPARE(Slurp(path_ + "Settings.ini"), ini);
  }

  void SettingsSurviveARestartByteForByte() {
    const std::string response =
        "Thank you.\r\n\r\nI am away until\xc2\xa0Monday.";
    const std::string attach = "/home/jo/plan.pdf\r\n/home/jo/a b.txt\r\n";
    Put(path_ + "Settings.ini", kFullSettings);
    Put(path_ + "response.dat", response);
    Put(path_ + "attach.dat", attach);
    ::chmod((path_ + "response.dat").c_str(), 0644);
    {
      Program program(path_);
      SettingsWindow& form1 = program.Form1();
      ResponderSettingsWindow& form2 = program.Form2();
      QCOMPARE(form1.Edit5()->text(), QString("smtp.example.org"));
      QCOMPARE(form1.Edit3()->text(), QString("s\u00e9same, open"));
      QCOMPARE(form1.Edit6()->text(), QString("p=w"));
      QCOMPARE(form1.SpinEdit1()->Value(), 15);
      QCOMPARE(form1.SpinEdit2()->text(), QString("abc"));
      QCOMPARE(form1.SpinEdit2()->Value(), 1);
      QCOMPARE(form1.SpinEdit3()->Value(), 587);
      QCOMPARE(form1.ComboBox1()->currentText(), QString("Simple Login"));
      QCOMPARE(form2.Edit3()->text(), QString("Re: away"));
      QVERIFY(!form2.CheckBox1()->isChecked());
      QCOMPARE(form2.Edit4()->text(), QString("desk@example.org"));
      QCOMPARE(form2.Memo1Text(),
               QString("Thank you.\n\nI am away until\u00a0Monday."));
      QCOMPARE(Entries(form2.ListBox1()),
               QStringList({"/home/jo/plan.pdf", "/home/jo/a b.txt"}));
      QVERIFY(program.frmMain().close());
    }
    QCOMPARE(Slurp(path_ + "Settings.ini"), std::string(kFullSettings));
    QCOMPARE(Slurp(path_ + "response.dat"), response);
    QCOMPARE(Slurp(path_ + "attach.dat"), attach);
    QCOMPARE(Mode(path_ + "response.dat"), 0600u);
  }

  void OddValuesLoadByTheRules_data() {
    QTest::addColumn<QByteArray>("options10");
    QTest::addColumn<QByteArray>("reponder4");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("forward");
    QTest::newRow("0x1, 0")
        << QByteArray("0x1") << QByteArray("0") << 1 << "Simple Login" << false;
    QTest::newRow("-1, yes")
        << QByteArray("-1") << QByteArray("yes") << -1 << "" << true;
    QTest::newRow("5, 2") << QByteArray("5") << QByteArray("2") << -1 << ""
                          << true;
    QTest::newRow("abc, empty")
        << QByteArray("abc") << QByteArray("") << 0 << "None" << true;
    QTest::newRow("quoted") << QByteArray("\"1\"") << QByteArray("'0'") << 1
                            << "Simple Login" << false;
  }

  void OddValuesLoadByTheRules() {
    QFETCH(QByteArray, options10);
    QFETCH(QByteArray, reponder4);
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(bool, forward);
    Put(path_ + "Settings.ini",
        "[Options]\r\n10=" + options10.toStdString() +
            "\r\n[Reponder]\r\n4=" + reponder4.toStdString() + "\r\n");
    Program program(path_);
    QCOMPARE(program.Form1().ComboBox1()->currentIndex(), index);
    QCOMPARE(program.Form1().ComboBox1()->currentText(), text);
    QCOMPARE(program.Form2().CheckBox1()->isChecked(), forward);
  }

  // What the windows make of odd stored texts is what --check makes of
  // them: both read the files through one mapping and one meaning.
  void TheWindowsAndTheUnattendedRunReadAlike_data() {
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QByteArray>("once");
    QTest::newRow("plain") << QByteArray("8=995\r\n9=587\r\n10=0\r\n")
                           << QByteArray("7");
    QTest::newRow("hex and junk")
        << QByteArray("8= $6E\r\n9=x25\r\n10=-1\r\n") << QByteArray("0x10");
    QTest::newRow("out of range")
        << QByteArray("8=70000\r\n10=0x1\r\n") << QByteArray("99999");
    QTest::newRow("negative") << QByteArray("9=-3\r\n") << QByteArray("-5");
  }

  void TheWindowsAndTheUnattendedRunReadAlike() {
    QFETCH(QByteArray, options);
    QFETCH(QByteArray, once);
    Put(path_ + "Settings.ini",
        "[Options]\r\n1=smtp.example\r\n2=pop.example\r\n" +
            options.toStdString() +
            "[Reponder]\r\n2=me@example.com\r\n[AutoReplies]\r\n"
            "OncePerSenderDays=" +
            once.toStdString() + "\r\n");
    Put(path_ + "response.dat", "Thanks.\r\nBye.");
    const responder::Settings saved = responder::ReadSavedSettings(path_);
    Program program(path_);
    const responder::Settings shown =
        responder::SettingsFrom(EditedConfig(program.Form1(), program.Form2()));
    QCOMPARE(shown.pop3_port, saved.pop3_port);
    QCOMPARE(shown.smtp_port, saved.smtp_port);
    QCOMPARE(shown.smtp_authentication, saved.smtp_authentication);
    QCOMPARE(shown.once_per_sender_days, saved.once_per_sender_days);
    QCOMPARE(shown.response_body, saved.response_body);
    QCOMPARE(shown.pop3_host, saved.pop3_host);
    QCOMPARE(shown.from_address, saved.from_address);
    QVERIFY(saved.once_per_sender_days >= 0 &&
            saved.once_per_sender_days <= responder::kMaxOncePerSenderDays);
  }

  // The mailbox choices load into their controls and are saved as they
  // were; a typo stays a typo (no choice shown) rather than becoming one.
  void MailboxChoicesSurviveARestart() {
    const std::string settings =
        std::string(kFullSettings) +
        "[Mailbox]\r\nKind=IMAP\r\nFolder=Work\r\nAfterAnswering=delte\r\n"
        "MoveFolder=Done\r\n";
    Put(path_ + "Settings.ini", settings);
    {
      Program program(path_);
      MailboxPanel& mailbox = *program.Form1().Mailbox();
      QCOMPARE(mailbox.Kind()->currentText(), QString("IMAP"));
      QCOMPARE(mailbox.Folder()->text(), QString("Work"));
      QCOMPARE(mailbox.AfterAnswering()->currentIndex(), -1);
      QVERIFY(mailbox.MoveFolder()->isEnabled() == false);
      QVERIFY(mailbox.Folder()->isEnabled());
      QVERIFY(program.frmMain().close());
    }
    QCOMPARE(Slurp(path_ + "Settings.ini"), settings);
    {
      // Choosing IMAP over the usual POP3 port proposes IMAP's.
      Program program(path_);
      program.Form1().SpinEdit2()->setText("110");
      MailboxPanel& mailbox = *program.Form1().Mailbox();
      mailbox.Kind()->setCurrentIndex(0);
      emit mailbox.Kind()->activated(1);
      mailbox.Kind()->setCurrentIndex(1);
      QCOMPARE(program.Form1().SpinEdit2()->text(), QString("143"));
      mailbox.AfterAnswering()->setCurrentIndex(2);
      emit mailbox.AfterAnswering()->activated(2);
      QVERIFY(mailbox.MoveFolder()->isEnabled());
      QVERIFY(program.frmMain().close());
    }
    QVERIFY(Slurp(path_ + "Settings.ini").find("AfterAnswering=move\r\n") !=
            std::string::npos);
  }

  void TypedAuthenticationTextIsStoredAsNoSelection() {
    const struct {
      const char* text;
      const char* stored;
      const char* restored;
    } rows[] = {{"none", "10=-1", ""},
                {"Simple Login", "10=1", "Simple Login"},
                {"None", "10=0", "None"}};
    for (const auto& row : rows) {
      {
        Program program(path_);
        program.Form1().ComboBox1()->setCurrentIndex(1);
        program.Form1().ComboBox1()->setEditText(row.text);
        QVERIFY(program.frmMain().close());
      }
      QVERIFY2(Slurp(path_ + "Settings.ini")
                       .find(std::string("\r\n") + row.stored + "\r\n") !=
                   std::string::npos,
               row.text);
      Program program(path_);
      QVERIFY2(program.Form1().ComboBox1()->currentText() == row.restored,
               row.text);
    }
  }

  void BadFilesLoadWithoutHarm() {
    std::string noise(4096, '\0');
    uint32_t seed = 12345;
    for (char& c : noise) {
      seed = seed * 1103515245 + 12345;
      c = char(seed >> 16);
    }
    const std::string files[] = {
        noise, "[Options]\r\n1=" + std::string(5000, 'h') + "\r\n[Opt",
        "[Options]\r\n1=a\r\n1=b\r\n[Options]\r\n2=c\r\n[Reponder",
        "\xef\xbb\xbf[Options]\r\n2=\xff\xfe\x01\r\n"};
    for (const std::string& file : files) {
      Put(path_ + "Settings.ini", file);
      Put(path_ + "response.dat", noise);
      Put(path_ + "attach.dat", noise);
      BoxCloser closer;
      Program program(path_);
      QCOMPARE(closer.Boxes().size(), 0);
      QVERIFY(program.Form1().Edit5()->text().size() <= 2047);
    }
    Put(path_ + "Settings.ini", "[Options]\r\n1=" + std::string(5000, 'h'));
    Program program(path_);
    QCOMPARE(program.Form1().Edit5()->text(), QString(2047, 'h'));
  }

  void DataFileLines() {
    const struct {
      std::string data;
      QStringList entries;
    } rows[] = {{"a\r\nb", {"a", "b"}},
                {"a\r\nb\r\n", {"a", "b"}},
                {"a\r\n\r\nb\r\n", {"a", "", "b"}},
                {"a\r\n\r\n", {"a", ""}},
                {"a\nb\rc\n\rd", {"a", "b", "c", "", "d"}},
                {std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
                {"\r\n", {""}},
                {"", {}}};
    for (const auto& row : rows) {
      QStringList entries;
      for (const std::string& line : responder::SplitAttachLines(row.data)) {
        entries << QString::fromStdString(line);
      }
      QVERIFY2(entries == row.entries, qPrintable(row.entries.join('|')));
    }

    Put(path_ + "attach.dat", "a\r\n\r\nb");
    Put(path_ + "response.dat", "one\rtwo\nthree\r\n");
    {
      Program program(path_);
      QCOMPARE(program.Form2().ListBox1()->count(), 3);
      QCOMPARE(program.Form2().Memo1Text(), QString("one\ntwo\nthree\n"));
      QVERIFY(program.frmMain().close());
    }
    QCOMPARE(Slurp(path_ + "attach.dat"), std::string("a\r\n\r\nb\r\n"));
    QCOMPARE(Slurp(path_ + "response.dat"),
             std::string("one\r\ntwo\r\nthree\r\n"));
  }

  void OverlongResponseStopsTheLoadThere() {
    Put(path_ + "Settings.ini", kFullSettings);
    Put(path_ + "attach.dat", "/x\r\n");
    const std::string response = path_ + "response.dat";
    Put(response, "");
    QVERIFY(::truncate(response.c_str(),
                       off_t(responder::kResponseCapacity) + 1) == 0);
    BoxCloser closer;
    Program program(path_);
    QCOMPARE(closer.Boxes().size(), 1);
    QCOMPARE(closer.Boxes()[0].text, QString("Text exceeds memo capacity."));
    QCOMPARE(program.Form1().Edit5()->text(), QString("smtp.example.org"));
    QCOMPARE(program.Form2().ListBox1()->count(), 0);  // skipped
  }

  void FailedSaveIsShownAndTheWindowCloses_data() {
    QTest::addColumn<QString>("blocked");  // made a directory
    QTest::addColumn<QString>("message");
    QTest::newRow("settings file") << "Settings.ini"
                                   << "Unable to write to %1Settings.ini.";
    QTest::newRow("response text")
        << "response.dat"
        << "Cannot create file \"%1response.dat\". Is a directory.";
    QTest::newRow("attachment list")
        << "attach.dat"
        << "Cannot create file \"%1attach.dat\". Is a directory.";
  }

  void FailedSaveIsShownAndTheWindowCloses() {
    QFETCH(QString, blocked);
    QFETCH(QString, message);
    const QString dir = QString::fromStdString(path_);
    QVERIFY(QDir().mkdir(dir + blocked));
    Program program(path_);
    program.frmMain().show();
    {
      BoxCloser closer;
      QVERIFY(program.frmMain().close());
      QCOMPARE(closer.Boxes().size(), 1);
      const BoxCloser::Box& box = closer.Boxes()[0];
      QCOMPARE(box.text, message.arg(dir));
      QCOMPARE(box.title, QString("Replyvane"));
      QCOMPARE(box.icon, QMessageBox::Critical);
      QCOMPARE(box.buttons, QStringList({"OK"}));
    }
    QVERIFY(!program.frmMain().isVisible());
  }

  void DirectoryUnderAFileCannotBeWritten() {
    Put(path_ + "file", "");
    Program program(path_ + "file");
    BoxCloser closer;
    QVERIFY(program.frmMain().close());
    QCOMPARE(closer.Boxes().size(), 1);
    QCOMPARE(closer.Boxes()[0].text,
             QString::fromStdString("Cannot create file \"" + path_ +
                                    "file/response.dat\". Not a directory."));
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::string path_;
};

}  // namespace replyvane::app

QTEST_MAIN(replyvane::app::SettingsStoreTest)
#include "settings_store_test.moc"
