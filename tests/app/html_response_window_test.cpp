// The HTML Response window: a loaded file is kept byte for byte until it
// is edited, the buttons make bold, italic, links and lists, "Clear" gives
// back the plain response, an image from the network is never fetched
// while editing, and "Check Now" sends text and HTML as
// multipart/alternative, as Python's email package reads it.
#include "app/html_response_window.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>
#include <string>

#include "tests/app/responder_harness.h"
#include "tests/support/decoded_message.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/socket_util.h"

namespace replyvane::testing {

namespace {

// A listener on 127.0.0.1 that only counts who connected.
class CountingListener {
 public:
  CountingListener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd_.Get(), 16);
    ::getsockname(fd_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  int Port() const { return port_; }
  int Connections() {
    int count = 0;
    while (true) {
      const int client = ::accept(fd_.Get(), nullptr, nullptr);
      if (client < 0) return count;
      ::close(client);
      ++count;
    }
  }

 private:
  Fd fd_;
  int port_ = 0;
};

}  // namespace

class HtmlResponseWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void ALoadedFileIsKeptUntilEdited();
  void NothingIsFetchedFromTheNetwork();
  void CheckNowSendsTextAndHtml();
};

void HtmlResponseWindowTest::ALoadedFileIsKeptUntilEdited() {
  Responder responder;
  app::HtmlResponseWindow& html = *responder.Form2().HtmlWindow();
  responder.Form2().HtmlButton()->click();
  QVERIFY(html.isVisible());
  const std::string file = responder.Dir().File("answer.html");
  WriteFile(file, "<p>Away <i>until</i> Monday.</p>\n<!-- mine -->\n");
  QVERIFY(html.LoadFile(QString::fromStdString(file)));
  QVERIFY(!html.LoadFile(QString::fromStdString(file + ".missing")));
  const std::string as_loaded =
      "<p>Away <i>until</i> Monday.</p>\r\n"
      "<!-- mine -->\r\n";
  QCOMPARE(html.Html(), as_loaded);
  QVERIFY(responder.Close());
  const std::string saved = ReadFile(responder.Dir().File("response.html"));
  QVERIFY2(saved == as_loaded, saved.c_str());

  // Edited: the editor's HTML, with what the buttons made.
  html.Editor()->selectAll();
  html.BoldButton()->click();
  QTextCursor end = html.Editor()->textCursor();
  end.movePosition(QTextCursor::End);
  html.Editor()->setTextCursor(end);
  html.MakeLink("https://example.com/hours");
  html.ListButton()->click();
  const std::string edited = html.Html();
  QVERIFY2(edited.find("font-weight") != std::string::npos, edited.c_str());
  QVERIFY2(
      edited.find("href=\"https://example.com/hours\"") != std::string::npos,
      edited.c_str());
  QVERIFY2(edited.find("<ul") != std::string::npos, edited.c_str());
  QVERIFY(edited.find("\n") == edited.find("\r\n") + 1);
  html.ClearButton()->click();
  QCOMPARE(html.Html(), std::string());
}

void HtmlResponseWindowTest::NothingIsFetchedFromTheNetwork() {
  CountingListener listener;
  Responder responder;
  app::HtmlResponseWindow& html = *responder.Form2().HtmlWindow();
  responder.Form2().HtmlButton()->click();
  html.SetHtml(
      "<p><img src=\"http://127.0.0.1:" + std::to_string(listener.Port()) +
      "/pixel.png\"><link rel=stylesheet href=\"http://127.0.0.1:" +
      std::to_string(listener.Port()) + "/s.css\">Hi</p>");
  html.Editor()->repaint();
  QTest::qWait(500);
  QCOMPARE(listener.Connections(), 0);
}

void HtmlResponseWindowTest::CheckNowSendsTextAndHtml() {
  const std::string missing =
      DovecotServer::MissingReason() + SmtpServer::MissingReason();
  if (!missing.empty()) QSKIP(missing.c_str());
  DovecotServer pop;
  SmtpServer smtp;
  pop.AddMessage("From: ann@example.com\r\nSubject: hi\r\n\r\nHello.\r\n");
  QVERIFY(pop.Start());
  QVERIFY(smtp.Start());
  Responder responder;
  responder.SetPop3(pop.Port(), Q(pop.User()), Q(pop.Password()));
  responder.SetSmtp(smtp.Port());
  responder.SetResponse("me@example.com", "Away", "Away until Monday.");
  responder.Form2().HtmlWindow()->SetHtml("<p>Away <b>until</b> Monday.</p>");
  responder.Check();
  QVERIFY(smtp.WaitForMessages(1));
  const std::string got = DecodedByPython(
      responder.Dir(), smtp.Messages()[0].data, "mime_structure.py");
  QVERIFY2(
      got == std::string("multipart/alternative(text/plain,text/html)\n"
                         "--- text/plain\nAway until Monday.\n\n--- text/html\n"
                         "<p>Away <b>until</b> Monday.</p>\n"),
      got.c_str());
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::HtmlResponseWindowTest)
#include "html_response_window_test.moc"
