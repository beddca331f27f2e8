#include "app/html_response_window.h"

#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextList>

#include "app/local_text.h"
#include "app/pictures.h"
#include "app/window_helpers.h"
#include "responder/data_files.h"

namespace replyvane::app {

namespace {

constexpr int kWidth = 578;
constexpr int kHeight = 360;
// An HTML file larger than the response text area takes is no response.
constexpr qint64 kLongestFile = qint64(responder::kResponseCapacity);

std::string WithCrLf(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      out += "\r\n";
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

HtmlResponseWindow::HtmlResponseWindow(QWidget* parent)
    : QWidget(parent, Qt::Window) {
  QWidget* content =
      SetUpSettingsWindow(this, "HtmlResponse", "HTML Response", kWidth,
                          kHeight, ResponderBackground());
  bold_ = AddButton(content, "HtmlBold", "Bold", 8, 8, 65, 25);
  italic_ = AddButton(content, "HtmlItalic", "Italic", 80, 8, 65, 25);
  link_ = AddButton(content, "HtmlLink", "Link…", 152, 8, 65, 25);
  list_ = AddButton(content, "HtmlList", "List", 224, 8, 65, 25);
  load_ = AddButton(content, "HtmlLoad", "Load HTML file…", 312, 8, 113, 25);
  clear_ = AddButton(content, "HtmlClear", "Clear", 432, 8, 65, 25);
  editor_ = new QTextEdit(content);
  editor_->setObjectName("HtmlEdit");
  editor_->setAcceptRichText(true);
  editor_->setGeometry(8, 40, kWidth - 16, kHeight - 80);
  editor_->setPlaceholderText(
      "HTML version of the response: sent beside the text, which mail "
      "programs show when they cannot show HTML");
  QPushButton* close = AddButton(content, "HtmlClose", "Close", kWidth - 83,
                                 kHeight - 33, 75, 25);
  load_dialog_ = new QFileDialog(this);
  load_dialog_->setObjectName("HtmlLoadDialog");
  load_dialog_->setFileMode(QFileDialog::ExistingFile);
  load_dialog_->setNameFilter("HTML files (*.html *.htm);;All files (*)");

  connect(editor_, &QTextEdit::textChanged, this, [this] { edited_ = true; });
  connect(bold_, &QPushButton::clicked, this, [this] {
    QTextCharFormat format;
    format.setFontWeight(editor_->fontWeight() >= QFont::Bold ? QFont::Normal
                                                              : QFont::Bold);
    editor_->mergeCurrentCharFormat(format);
  });
  connect(italic_, &QPushButton::clicked, this, [this] {
    QTextCharFormat format;
    format.setFontItalic(!editor_->fontItalic());
    editor_->mergeCurrentCharFormat(format);
  });
  connect(link_, &QPushButton::clicked, this, [this] {
    bool ok = false;
    const QString address = QInputDialog::getText(
        this, "Link", "Address (https://…):", QLineEdit::Normal, "", &ok);
    if (ok && !address.trimmed().isEmpty()) MakeLink(address.trimmed());
  });
  connect(list_, &QPushButton::clicked, this, [this] {
    editor_->textCursor().createList(QTextListFormat::ListDisc);
  });
  connect(load_, &QPushButton::clicked, this, [this] {
    if (load_dialog_->exec() != QDialog::Accepted) return;
    const QStringList files = load_dialog_->selectedFiles();
    if (!files.isEmpty()) LoadFile(files.first());
  });
  connect(clear_, &QPushButton::clicked, this, [this] { Show(""); });
  connect(close, &QPushButton::clicked, this, [this] { this->close(); });
  CloseOnEscape(this);
}

void HtmlResponseWindow::Show(const std::string& html) {
  stored_ = html;
  {
    const QSignalBlocker quiet(editor_);
    editor_->setHtml(FromBytes(html));
  }
  edited_ = false;
}

void HtmlResponseWindow::SetHtml(const std::string& html) { Show(html); }

std::string HtmlResponseWindow::Html() const {
  if (!edited_) return stored_;
  if (editor_->document()->isEmpty()) return "";
  return WithCrLf(ToBytes(editor_->toHtml()));
}

void HtmlResponseWindow::MakeLink(const QString& address) {
  QTextCursor cursor = editor_->textCursor();
  QTextCharFormat format;
  format.setAnchor(true);
  format.setAnchorHref(address);
  format.setFontUnderline(true);
  if (!cursor.hasSelection()) {
    cursor.insertText(address, format);
  } else {
    cursor.mergeCharFormat(format);
  }
}

bool HtmlResponseWindow::LoadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kLongestFile) {
    return false;
  }
  Show(WithCrLf(file.readAll().toStdString()));
  return true;
}

}  // namespace replyvane::app
