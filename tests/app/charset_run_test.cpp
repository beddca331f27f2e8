// A correspondent gets the same message whichever way the check ran: typed
// into the windows and sent from them, then sent by `replyvane --check`
// over the settings the window saved, under LANG=C, LANG=C.UTF-8 and no
// LANG at all, against Dovecot and aiosmtpd. The bytes are the same but
// for the Date (and the Message-ID), and Python's email package reads the
// texts that were typed, in the lines the text area shows them.
#include <QtTest>
#include <string>
#include <vector>

#include "tests/app/responder_harness.h"
#include "tests/responder/program_run.h"
#include "tests/support/decoded_message.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/smtp_server.h"

namespace replyvane::testing {
namespace {

const char kSubject[] =
    "Abwesenheit: zur\xC3\xBC"
    "ck";
// 8-bit and with a comma: an encoded word that keeps the name one name.
const char kFromName[] = "J\xC3\xB6rg M\xC3\xBCller, B\xC3\xBCro";
// The last line is longer than the text area is wide: the window breaks it
// where the area wraps it, and so must --check.
const char kText[] =
    "Ich bin bis 3. Januar fort \xE2\x80\x93 Gr\xC3\xBC\xC3\x9F"
    "e.\nBitte schreiben Sie an M\xC3\xBCller.\nIn dringenden F\xC3\xA4llen "
    "erreichen Sie das B\xC3\xBC"
    "ro unter der \xC3\xBC"
    "blichen Nummer, "
    "werktags von acht bis siebzehn Uhr, und am Wochenende gar nicht.";

// The message without the lines that differ from one sending to the next.
std::string WithoutChangingLines(const std::string& data) {
  std::string result;
  for (size_t start = 0; start < data.size();) {
    size_t end = data.find("\r\n", start);
    end = end == std::string::npos ? data.size() : end + 2;
    const std::string line = data.substr(start, end - start);
    if (line.rfind("Date: ", 0) != 0 && line.rfind("Message-ID: ", 0) != 0) {
      result += line;
    }
    start = end;
  }
  return result;
}

}  // namespace

class CharsetRunTest : public QObject {
  Q_OBJECT

 private slots:
  void TheWindowAndEveryLocaleSendTheSameBytes();
};

void CharsetRunTest::TheWindowAndEveryLocaleSendTheSameBytes() {
  const std::string missing = MissingForRealServers();
  if (!missing.empty()) QSKIP(missing.c_str());
  DovecotServer pop;
  SmtpServer smtp;
  pop.AddMessage(Message("ann@example.com", "question"));
  QVERIFY(pop.Start());
  QVERIFY(smtp.Start());

  Responder responder;
  responder.SetPop3(pop.Port(), Q(pop.User()), Q(pop.Password()));
  responder.SetSmtp(smtp.Port());
  responder.SetResponse("me@example.com", QString::fromUtf8(kSubject),
                        QString::fromUtf8(kText));
  responder.Form2().Edit1()->setText(QString::fromUtf8(kFromName));
  responder.Check();
  QVERIFY(smtp.WaitForMessages(1));
  QVERIFY(responder.Close());  // saves the settings the runs below use
  const std::string from_window = smtp.Messages()[0].data;
  // What the area shows is what is sent: its lines, the long one broken.
  const QStringList shown = responder.Form2().Memo1Lines();
  QVERIFY2(shown.size() > 3, "the long line does not wrap");
  const std::string expected = std::string(kFromName) + "\f" +
                               std::string(kSubject) + "\f" +
                               shown.join("\n").toStdString() + "\n";
  QVERIFY2(HeaderValue(from_window, "From").ends_with(" <me@example.com>"),
           from_window.c_str());
  QCOMPARE(DecodedByPython(responder.Dir(), from_window), expected);

  const char* environments[] = {"-u LC_ALL -u LC_CTYPE LANG=C",
                                "-u LC_ALL -u LC_CTYPE LANG=C.UTF-8",
                                "-u LC_ALL -u LC_CTYPE -u LANG"};
  size_t sent = 1;
  for (const char* environment : environments) {
    pop.AddMessage(Message("ann@example.com", "question"));
    const RunResult run = RunProgram(
        responder.Dir(), "--check --settings " + responder.Dir().Path(), 120,
        environment);
    QVERIFY2(run.status == 0, run.err.c_str());
    ++sent;
    QVERIFY(smtp.WaitForMessages(sent));
    const std::string from_check = smtp.Messages()[sent - 1].data;
    QVERIFY2(
        WithoutChangingLines(from_check) == WithoutChangingLines(from_window),
        (std::string(environment) + "\n" + from_check + "\n----\n" +
         from_window)
            .c_str());
    QCOMPARE(DecodedByPython(responder.Dir(), from_check), expected);
  }
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::CharsetRunTest)
#include "charset_run_test.moc"
