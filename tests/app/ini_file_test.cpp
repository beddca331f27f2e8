// The settings file reader and writer: what a read returns from files in
// every shape, what a write leaves on disk, and the typed reads.
#include "responder/ini_file.h"

#include <sys/stat.h>

#include <QTemporaryDir>
#include <QTest>

#include "tests/app/file_helpers.h"

namespace replyvane::app {

using responder::IniFile;
using responder::IniFileError;

class IniFileTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    path_ = dir_->filePath("Settings.ini").toStdString();
  }

  void ReadsTheFirstMatchingValue_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");
    auto row = [](const char* name, const std::string& file,
                  const char* section, const char* key,
                  const std::string& expected) {
      QTest::newRow(name) << QByteArray::fromStdString(file)
                          << QByteArray(section) << QByteArray(key)
                          << QByteArray::fromStdString(expected);
    };
    row("plain", "[Options]\r\n1=mail.example\r\n", "Options", "1",
        "mail.example");
    row("any case", "[options]\r\nAbc=x\r\n", "OPTIONS", "aBC", "x");
    row("blanks dropped", "[S]\r\n  k \t=  v w \t\r\n", "S", "k", "v w");
    row("double quotes", "[S]\r\nk=\" v \"\r\n", "S", "k", " v ");
    row("single quotes", "[S]\r\nk='v'\r\n", "S", "k", "v");
    row("one pair only", "[S]\r\nk=\"\"v\"\"\r\n", "S", "k", "\"v\"");
    row("lone quote kept", "[S]\r\nk=\"v\r\n", "S", "k", "\"v");
    row("equals in value", "[S]\r\nk=a=b\r\n", "S", "k", "a=b");
    row("LF lines", "[S]\nk=v\n", "S", "k", "v");
    row("no final break", "[S]\r\nk=v", "S", "k", "v");
    row("missing key", "[S]\r\nk=v\r\n", "S", "j", "<default>");
    row("missing section", "[S]\r\nk=v\r\n", "T", "k", "<default>");
    row("key of the next section", "[A]\r\nk=1\r\n[B]\r\nj=2\r\n", "B", "k",
        "<default>");
    row("first of two sections", "[S]\r\nk=1\r\n[s]\r\nk=2\r\n", "S", "k", "1");
    row("only the first section", "[S]\r\nj=1\r\n[S]\r\nk=2\r\n", "S", "k",
        "<default>");
    row("first of two keys", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", "1");
    row("truncated after equals", "[S]\r\nk=", "S", "k", "");
    row("section without bracket", "[S]\r\nk=1\r\n[T\r\nk=2\r\n", "T", "k",
        "<default>");
    row("empty file", "", "S", "k", "<default>");
    row("NUL ends the value", std::string("[S]\r\nk=ab\0cd\r\n", 14), "S", "k",
        "ab");
    row("binary lines around",
        std::string("\xff\xfe\0\x01\r\n[S]\r\n\x80\x81\r\nk=v\x80\r\n", 22),
        "S", "k", "v\x80");
    row("overlong value", "[S]\r\nk=" + std::string(3000, 'a') + "\r\n", "S",
        "k", std::string(IniFile::kMaxValueLength, 'a'));
  }

  void ReadsTheFirstMatchingValue() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);
    Put(path_, file.toStdString());
    IniFile ini(path_);
    QCOMPARE(QByteArray::fromStdString(ini.ReadString(
                 section.toStdString(), key.toStdString(), "<default>")),
             expected);
  }

  void MissingOrUnreadableFileGivesDefaults() {
    IniFile missing(path_);
    QCOMPARE(missing.ReadString("S", "k", "d"), std::string("d"));
    QVERIFY(!QFile::exists(QString::fromStdString(path_)));
    QVERIFY(QDir().mkdir(QString::fromStdString(path_)));
    IniFile directory(path_);
    QCOMPARE(directory.ReadInteger("S", "k", 7), 7);
  }

  void WritesInPlaceAndKeepsOtherLines() {
    Put(path_,
        "; kept\n[Options]\r\n1 = old\r\n\r\n[Reponder]\r\n1=x\r\n"
        "junk line\r\n");
    IniFile ini(path_);
    ini.WriteString("options", "1", "new");
    ini.WriteString("Options", "2", "two");
    ini.WriteString("Reponder", "2", "y");
    ini.WriteString("Extra", "k", "v");
    ini.UpdateFile();
    QCOMPARE(Slurp(path_),
             std::string("; kept\n[Options]\r\n1=new\r\n2=two\r\n\r\n"
                         "[Reponder]\r\n1=x\r\njunk line\r\n2=y\r\n"
                         "[Extra]\r\nk=v\r\n"));
    QCOMPARE(IniFile(path_).ReadString("options", "2", ""), std::string("two"));
  }

  void WritesIntoFilesOfAnyShape() {
    IniFile created(path_);
    created.WriteString("S", "k", "v");
    created.UpdateFile();
    QCOMPARE(Slurp(path_), std::string("[S]\r\nk=v\r\n"));
    QCOMPARE(Mode(path_), 0600u);

    Put(path_, "[S]\nk=v");  // LF lines, no final break
    IniFile unended(path_);
    unended.WriteString("S", "j", "w");
    unended.WriteString("T", "k", "line1\r\nline2");
    unended.UpdateFile();
    QCOMPARE(Slurp(path_),
             std::string("[S]\nk=v\r\nj=w\r\n[T]\r\nk=line1  line2\r\n"));
  }

  void WritesReachTheDiskOnlyWithTheUpdate() {
    Put(path_, "[S]\r\nk=old\r\n");
    IniFile ini(path_);
    ini.WriteString("S", "k", "new");
    ini.WriteString("T", "j", "v");
    QCOMPARE(Slurp(path_), std::string("[S]\r\nk=old\r\n"));
    QCOMPARE(ini.ReadString("S", "k", ""), std::string("new"));
    ini.UpdateFile();
    QCOMPARE(Slurp(path_), std::string("[S]\r\nk=new\r\n[T]\r\nj=v\r\n"));

    // With nothing written since, an update leaves the file alone.
    Put(path_, "changed by hand");
    ini.UpdateFile();
    QCOMPARE(Slurp(path_), std::string("changed by hand"));
    IniFile untouched(path_ + ".missing");
    untouched.ReadString("S", "k", "");
    untouched.UpdateFile();
    QVERIFY(!QFile::exists(QString::fromStdString(path_ + ".missing")));
  }

  void RewritingKeepsOnlyPrivateModes() {
    const struct {
      unsigned before;
      unsigned after;
    } rows[] = {
        {0644, 0600}, {0666, 0600}, {0600, 0600}, {0400, 0400}, {0200, 0200}};
    for (const auto& row : rows) {
      Put(path_, "[S]\r\n");
      ::chmod(path_.c_str(), row.before);
      IniFile ini(path_);
      ini.WriteString("S", "k", "v");
      ini.UpdateFile();
      QVERIFY2(Mode(path_) == row.after,
               qPrintable(QString::number(row.before, 8)));
    }
  }

  void FailedWriteNamesTheFile() {
    Put(path_, "");
    const std::string inside = path_ + "/Settings.ini";  // under a file
    IniFile ini(inside);
    try {
      ini.WriteString("S", "k", "v");
      ini.UpdateFile();
      QFAIL("no failure");
    } catch (const IniFileError& failure) {
      QCOMPARE(failure.Message(), "Unable to write to " + inside);
    }
  }

  void TypedReads_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("integer");   // with default 42
    QTest::addColumn<bool>("boolean");  // with default true
    QTest::newRow("0x1") << QByteArray("0x1") << 1 << true;
    QTest::newRow("0X1f") << QByteArray("0X1f") << 31 << true;
    QTest::newRow("-1") << QByteArray("-1") << -1 << true;
    QTest::newRow("0") << QByteArray("0") << 0 << false;
    QTest::newRow("abc") << QByteArray("abc") << 42 << true;
    QTest::newRow("yes") << QByteArray("yes") << 42 << true;
    QTest::newRow("empty") << QByteArray("") << 42 << true;
    QTest::newRow("$10") << QByteArray("$10") << 16 << true;
    QTest::newRow("+5") << QByteArray("+5") << 5 << true;
    QTest::newRow("0x alone") << QByteArray("0x") << 42 << true;
    QTest::newRow("x1") << QByteArray("x1") << 42 << true;
    QTest::newRow("1 2") << QByteArray("1 2") << 42 << true;
    QTest::newRow("too big") << QByteArray("99999999999") << 42 << true;
    QTest::newRow("$FFFFFFFF") << QByteArray("$FFFFFFFF") << -1 << true;
  }

  void TypedReads() {
    QFETCH(QByteArray, value);
    QFETCH(int, integer);
    QFETCH(bool, boolean);
    Put(path_, "[S]\r\nk=" + value.toStdString() + "\r\n");
    IniFile ini(path_);
    QCOMPARE(ini.ReadInteger("S", "k", 42), integer);
    QCOMPARE(ini.ReadBool("S", "k", true), boolean);
    QCOMPARE(ini.ReadBool("S", "missing", false), false);
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::string path_;
};

}  // namespace replyvane::app

QTEST_GUILESS_MAIN(replyvane::app::IniFileTest)
#include "ini_file_test.moc"
