// Received text is data, never structure: the two attacks once seen, run
// end to end through the real windows with the forward on, against scripted
// servers. Every SMTP connection must hold exactly one transaction, and the
// sender's text must stay inside one line of the forward's body.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QStatusBar>
#include <QtTest>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/mail_scripts.h"
#include "tests/app/responder_harness.h"
#include "tests/support/scripted_server.h"

namespace replyvane::testing {
namespace {

const char kFrom[] = "me@example.com";
const char kForwardTo[] = "fw@example.com";

// The lines of a recorded message text.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Checks what every recorded message text must hold: CR only before LF,
// LF only after CR, no NUL, and no header line starting with `marker`.
void CheckWellFormed(const std::string& text, const std::string& marker) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      QVERIFY2(i + 1 < text.size() && text[i + 1] == '\n',
               Visible(text).c_str());
    } else if (text[i] == '\n') {
      QVERIFY2(i > 0 && text[i - 1] == '\r', Visible(text).c_str());
    }
    QVERIFY2(text[i] != '\0', Visible(text).c_str());
  }
  for (const std::string& line : Lines(HeaderBlock(text))) {
    QVERIFY2(line.rfind(marker, 0) != 0, Visible(text).c_str());
  }
}

// Watches a FIFO from a thread of its own: whoever opens it for reading is
// seen, and let go at once with an end of file instead of waiting for ever.
class FifoWatch {
 public:
  explicit FifoWatch(std::string path) : path_(std::move(path)) {
    ::mkfifo(path_.c_str(), 0600);
    thread_ = std::thread([this] {
      while (!stop_) {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
          opened_ = true;
          ::close(fd);
        }
        ::usleep(2000);
      }
    });
  }
  ~FifoWatch() {
    stop_ = true;
    thread_.join();
  }
  bool Opened() const { return opened_; }

 private:
  std::string path_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> opened_{false};
  std::thread thread_;
};

}  // namespace

class HostileMailTest : public QObject {
  Q_OBJECT

 private slots:
  void SmuggledCommandsInTheSenderNameStayInTheForwardBody();
  void LineBreaksInTheSubjectAddNoHeader();
  void MarkupInTheSubjectIsShownAsText();
};

// A From whose display name decodes to CR LF "." CR LF and SMTP commands:
// once the forward's first body line, it ended DATA and the server ran the
// commands as a second transaction in the user's session.
void HostileMailTest::SmuggledCommandsInTheSenderNameStayInTheForwardBody() {
  Responder responder;
  std::vector<Incoming> mailbox(1);
  mailbox[0].subject = "hello";
  mailbox[0].from =
      "=?UTF-8?Q?Mallory=0D=0A.=0D=0AMAIL_FROM:=3Cme@example.com=3E=0D=0A"
      "RCPT_TO:=3Cvictim@example.net=3E=0D=0ADATA=0D=0ASubject:_spam?= "
      "<mallory@example.org>";
  mailbox[0].body = {"Buy now."};
  Script pop_script = Pop3Listing(mailbox);
  Pop3Retrieve(pop_script, 1, mailbox[0]);
  Pop3Delete(pop_script, 1);
  ScriptedServer pop(Pop3Quit(pop_script));
  // Each script is one transaction ending with QUIT: a second MAIL FROM on
  // a connection fails it.
  ScriptedServer smtp({SmtpScript({kFrom, {"mallory@example.org"}}),
                       SmtpScript({kFrom, {kForwardTo}})});
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, "Re", "Thanks.");
  responder.SetForward(true, kForwardTo);
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  QCOMPARE(responder.Boxes().Texts(), QStringList({"1"}));
  const std::vector<std::string> bodies = smtp.Bodies();
  QCOMPARE(bodies.size(), size_t(2));
  for (const std::string& body : bodies) CheckWellFormed(body, "Subject: spam");
  const std::vector<std::string> lines =
      Lines(BodyText(DotUnstuffed(bodies[1])));
  QVERIFY(!lines.empty());
  // The whole decoded name, line ends as blanks, on the first line.
  QCOMPARE(lines[0], std::string("From: Mallory  .  MAIL FROM:<me@example.com>"
                                 "  RCPT TO:<victim@example.net>  DATA  "
                                 "Subject: spam <mallory@example.org>"));
  QCOMPARE(lines.size(), size_t(2));
  QCOMPARE(lines[1], std::string("Buy now."));
  QCOMPARE(responder.Rows(), 0);
}

// A Subject holding encoded bare LFs: the forward's header block once had
// an extra X-Evil line followed by a lone ".".
void HostileMailTest::LineBreaksInTheSubjectAddNoHeader() {
  Responder responder;
  std::vector<Incoming> mailbox(1);
  mailbox[0].subject = "=?UTF-8?Q?Hello=0AX-Evil:_1=0A.?=";
  mailbox[0].from = "eve@example.org";
  Script pop_script = Pop3Listing(mailbox);
  Pop3Retrieve(pop_script, 1, mailbox[0]);
  Pop3Delete(pop_script, 1);
  ScriptedServer pop(Pop3Quit(pop_script));
  ScriptedServer smtp({SmtpScript({kFrom, {"eve@example.org"}}),
                       SmtpScript({kFrom, {kForwardTo}})});
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, "Re", "Thanks.");
  responder.SetForward(true, kForwardTo);
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  QCOMPARE(responder.Boxes().Texts(), QStringList({"1"}));
  const std::vector<std::string> bodies = smtp.Bodies();
  QCOMPARE(bodies.size(), size_t(2));
  for (const std::string& body : bodies) CheckWellFormed(body, "X-Evil");
  const std::string forward = DotUnstuffed(bodies[1]);
  QCOMPARE(HeaderValue(forward, "Subject"), std::string("Hello X-Evil: 1 ."));
  QCOMPARE(BodyText(forward),
           std::string("From: eve@example.org\r\nHello.\r\n"));
  QCOMPARE(responder.Rows(), 0);
}

// A Subject that looks like HTML: rendered as rich text, the status panel
// loaded the image it names from the local disk (a FIFO hung the window for
// ever, a large file filled the memory) before the message was deleted.
void HostileMailTest::MarkupInTheSubjectIsShownAsText() {
  Responder responder;
  const std::string fifo = responder.Dir().Path() + "/fifo";
  const std::string large = responder.Dir().Path() + "/large";
  FifoWatch watch(fifo);
  {
    const int fd = ::open(large.c_str(), O_WRONLY | O_CREAT, 0600);
    QVERIFY(fd >= 0);
    QCOMPARE(::ftruncate(fd, off_t(512) << 20), 0);  // sparse: no disk used
    ::close(fd);
  }
  std::vector<Incoming> mailbox(2);
  mailbox[0].subject = "<img src=\"" + fifo + "\"> hello";
  mailbox[1].subject = "<b>big</b><img src=\"" + large + "\">";
  mailbox[0].from = "eve@example.org";
  mailbox[1].from = "eve@example.org";
  Script pop_script = Pop3Listing(mailbox);
  Pop3Delete(pop_script, 2);
  Pop3Delete(pop_script, 1);
  ScriptedServer pop(Pop3Quit(pop_script));
  ScriptedServer smtp({SmtpScript({kFrom, {"eve@example.org"}}),
                       SmtpScript({kFrom, {"eve@example.org"}})});
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, "Re", "Thanks.");
  // What panel 0 shows while the box "1" of each message is open.
  QStringList shown;
  responder.Boxes().SetOnBox([&](const SeenBox&) {
    shown << responder.Main().PanelText(0);
    auto* panel = responder.Main().findChild<QLabel*>("Panel0");
    QVERIFY(panel != nullptr);
    QCOMPARE(panel->textFormat(), Qt::PlainText);
  });
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  QVERIFY(!watch.Opened());
  QCOMPARE(shown, QStringList({"Processing " + Q(mailbox[1].subject),
                               "Processing " + Q(mailbox[0].subject)}));
  QCOMPARE(responder.Rows(), 0);
  // Every label and box of the windows keeps received text as text.
  for (QLabel* label : responder.Main().findChildren<QLabel*>()) {
    if (label->pixmap().isNull()) {
      QCOMPARE(label->textFormat(), Qt::PlainText);
    }
  }
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::HostileMailTest)
#include "hostile_mail_test.moc"
