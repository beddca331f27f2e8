// The mailbox of real-world and hostile messages in tests/data/mailbox, put
// whole into a private Dovecot and run through one "Check Now" with the
// forward on against aiosmtpd, once over POP3 and once over IMAP (every
// message there answered and then deleted, as POP3 does). expected.tsv names,
// per message file, the address the response must go to ("-": no usable sender,
// so the message must stay on the server) and a text the forward must carry
// ("-": none). Skipped when either server program is not installed.
#include <QElapsedTimer>
#include <QtTest>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/mailbox_panel.h"
#include "app/settings_window.h"
#include "tests/app/mail_scripts.h"
#include "tests/app/responder_harness.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"

namespace replyvane::testing {
namespace {

const char kFrom[] = "me@example.com";
const char kForward[] = "fw@example.com";
const char kNoSender[] = "No sender address: not answered";

struct Entry {
  std::string file;
  std::string sender;  // "-": no usable sender
  std::string text;    // "-": no text to look for
  std::string bytes;
};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The mailbox in REPLYVANE_MAILBOX_DIR when set (another mailbox with its
// own expected.tsv), else the one beside the tests.
std::vector<Entry> ReadMailbox() {
  const char* other = std::getenv("REPLYVANE_MAILBOX_DIR");
  const std::string dir = other != nullptr ? std::string(other) + "/"
                                           : std::string(REPLYVANE_SOURCE_DIR) +
                                                 "/tests/data/mailbox/";
  std::vector<Entry> entries;
  std::istringstream manifest(ReadBytes(dir + "expected.tsv"));
  std::string line;
  while (std::getline(manifest, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t tab1 = line.find('\t');
    const size_t tab2 = line.find('\t', tab1 + 1);
    Entry entry{line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1),
                line.substr(tab2 + 1), ""};
    entry.bytes = ReadBytes(dir + entry.file);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string ToLower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string DecodeQuotedPrintable(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '=') {
      out += text[i];
    } else if (text.compare(i + 1, 2, "\r\n") == 0) {
      i += 2;
    } else if (i + 2 < text.size() && std::isxdigit(text[i + 1]) &&
               std::isxdigit(text[i + 2])) {
      out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += '=';
    }
  }
  return out;
}

// The text of a sent entity with its transfer encodings undone, every part
// of a multipart one in order.
std::string DecodedText(const std::string& entity) {
  const std::string type = HeaderValue(entity, "Content-Type");
  const std::string body = BodyText(entity);
  const size_t at = ToLower(type).find("boundary=");
  if (ToLower(type).rfind("multipart/", 0) == 0 && at != std::string::npos) {
    std::string boundary = type.substr(at + 9);
    if (!boundary.empty() && boundary[0] == '"') {
      boundary = boundary.substr(1, boundary.find('"', 1) - 1);
    } else {
      boundary = boundary.substr(0, boundary.find(';'));
    }
    const std::string delimiter = "--" + boundary;
    std::string text;
    size_t pos = ("\r\n" + body).find("\r\n" + delimiter);
    while (pos != std::string::npos) {
      const size_t start = body.find("\r\n", pos) + 2;
      const size_t next = body.find("\r\n" + delimiter, start - 2);
      if (next == std::string::npos || start < 2) break;
      text += DecodedText(body.substr(start, next + 2 - start)) + "\r\n";
      pos = next + 2;
    }
    return text;
  }
  const std::string transfer =
      ToLower(HeaderValue(entity, "Content-Transfer-Encoding"));
  if (transfer == "quoted-printable") return DecodeQuotedPrintable(body);
  if (transfer == "base64") {
    return QByteArray::fromBase64(QByteArray::fromStdString(body))
        .toStdString();
  }
  return body;
}

// Why `data` would not be a proper DATA text: a CR or LF that is not part
// of a CR LF pair. Empty when it is one.
std::string BareLineEnd(const std::string& data) {
  for (size_t i = 0; i < data.size(); ++i) {
    const bool cr_lf = data.compare(i, 2, "\r\n") == 0;
    if (cr_lf) {
      ++i;
    } else if (data[i] == '\r' || data[i] == '\n') {
      return "bare " + std::string(data[i] == '\r' ? "CR" : "LF") +
             " at byte " + std::to_string(i);
    }
  }
  return "";
}

QString MissingServers(bool imap) {
  return QString::fromStdString((imap ? DovecotServer::MissingImapReason()
                                      : DovecotServer::MissingReason()) +
                                SmtpServer::MissingReason());
}

}  // namespace

class CorpusTest : public QObject {
  Q_OBJECT

 private slots:
  void WholeMailboxAnsweredForwardedOrKept() { CheckWholeMailbox(false); }
  void WholeMailboxThroughImap() { CheckWholeMailbox(true); }

 private:
  void CheckWholeMailbox(bool imap);
};

void CorpusTest::CheckWholeMailbox(bool imap) {
  if (!MissingServers(imap).isEmpty()) QSKIP(qPrintable(MissingServers(imap)));
  const std::vector<Entry> entries = ReadMailbox();
  QVERIFY(!entries.empty());
  DovecotServer::Options options;
  options.imap = imap;
  DovecotServer pop(options);
  SmtpServer smtp;
  std::map<std::string, const Entry*> by_sender;
  std::vector<std::string> kept;
  for (const Entry& entry : entries) {
    pop.AddMessage(entry.bytes);
    if (entry.sender == "-") {
      kept.push_back(entry.bytes);
    } else {
      by_sender[entry.sender] = &entry;
    }
  }
  QVERIFY(pop.Start());
  QVERIFY(smtp.Start());

  Responder responder;
  responder.SetPop3(pop.Port(), Q(pop.User()), Q(pop.Password()));
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, "Thank you", "Thanks for your mail.");
  responder.SetForward(true, kForward);
  if (imap) {
    responder::MailboxSettings mailbox;
    mailbox.kind = responder::MailboxKind::kImap;
    mailbox.answer_existing = true;
    mailbox.after_answering = responder::AfterAnswering::kDelete;
    responder.Form1().Mailbox()->SetValue(mailbox);
  }
  // The corpus holds newsletters, list posts and bounces that the rules
  // for automatic replies would leave unanswered: this run is about
  // reading whatever strangers send.
  responder.Form2().AutoReplyRules()->setChecked(false);
  QElapsedTimer clock;
  clock.start();
  responder.Check();
  qInfo("%zu messages checked over %s in %lld ms", entries.size(),
        imap ? "IMAP" : "POP3", static_cast<long long>(clock.elapsed()));

  // Every problem is collected, so one run names every failing message.
  QStringList problems;
  for (const SeenBox& box : responder.Boxes().Seen()) {
    if (box.text != "1") problems << "box: " + box.text;
  }
  std::map<std::string, int> answered;
  const std::vector<SmtpServer::Message> sent = smtp.Messages();
  for (size_t i = 0; i < sent.size(); ++i) {
    const SmtpServer::Message& response = sent[i];
    const std::string to =
        response.rcpt_tos.size() == 1 ? response.rcpt_tos[0] : "?";
    if (const std::string bad = BareLineEnd(response.data); !bad.empty()) {
      problems << Q("response to " + to + " has a " + bad);
    }
    const auto entry = by_sender.find(to);
    if (entry == by_sender.end()) {
      problems << Q("unexpected message to " + to);
      // Its forward is part of the same mistake.
      if (i + 1 < sent.size() &&
          sent[i + 1].rcpt_tos == std::vector<std::string>{kForward}) {
        ++i;
      }
      continue;
    }
    const Entry& expected = *entry->second;
    if (++answered[to] > 1) problems << Q(expected.file + ": answered twice");
    if (i + 1 == sent.size() ||
        sent[i + 1].rcpt_tos != std::vector<std::string>{kForward}) {
      problems << Q(expected.file + ": no forward after the response");
      continue;
    }
    const SmtpServer::Message& forward = sent[++i];
    if (const std::string bad = BareLineEnd(forward.data); !bad.empty()) {
      problems << Q(expected.file + ": forward has a " + bad);
    }
    if (expected.text != "-" &&
        DecodedText(forward.data).find(expected.text) == std::string::npos) {
      problems << Q(expected.file + ": forward lacks \"" + expected.text +
                    "\"");
    }
  }
  for (const auto& [sender, entry] : by_sender) {
    if (answered[sender] == 0) problems << Q(entry->file + ": not answered");
  }

  // The messages without a sender keep their rows, each with its status.
  if (responder.Rows() != int(kept.size())) {
    problems << QString("rows left: %1, expected %2")
                    .arg(responder.Rows())
                    .arg(kept.size());
  } else {
    for (int row = 0; row < responder.Rows(); ++row) {
      if (!responder.Row(row).join('\t').contains(kNoSender)) {
        problems << "row without the status: " + responder.Row(row).join(" | ");
      }
    }
  }
  // Dovecot expunges after the QUIT (or the run's last UID EXPUNGE), whose
  // reply the client may not read.
  if (!WaitFor([&] { return pop.MessageCount() == int(kept.size()); }, 10000)) {
    problems << QString("messages left on the server: %1, expected %2")
                    .arg(pop.MessageCount())
                    .arg(kept.size());
  } else {
    std::multiset<std::string> left;
    for (const char* sub : {"/new", "/cur"}) {
      for (const auto& file :
           std::filesystem::directory_iterator(pop.MaildirPath() + sub)) {
        left.insert(ReadBytes(file.path()));
      }
    }
    if (left != std::multiset<std::string>(kept.begin(), kept.end())) {
      problems << "the messages left are not those without a sender";
    }
  }
  for (const QString& problem : problems) qWarning("%s", qPrintable(problem));
  QVERIFY2(problems.isEmpty(),
           qPrintable(QString::number(problems.size()) + " problems"));
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::CorpusTest)
#include "corpus_test.moc"
