// "HTML Response": the HTML version of the response, edited with Bold,
// Italic, Link…, List, or loaded whole with "Load HTML file…"; "Clear"
// takes it away (the response is plain text again). A version the user
// has not edited is kept byte for byte; once edited it is the editor's
// HTML. Nothing is fetched while editing: the editor shows no image or
// style from the network.
#ifndef REPLYVANE_APP_HTML_RESPONSE_WINDOW_H_
#define REPLYVANE_APP_HTML_RESPONSE_WINDOW_H_

#include <QWidget>
#include <string>

class QFileDialog;
class QPushButton;
class QTextEdit;

namespace replyvane::app {

class HtmlResponseWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HtmlResponseWindow(QWidget* parent);

  // The HTML (UTF-8, CR LF line ends); empty: none.
  std::string Html() const;
  void SetHtml(const std::string& html);

  QTextEdit* Editor() const { return editor_; }
  QPushButton* BoldButton() const { return bold_; }
  QPushButton* ItalicButton() const { return italic_; }
  QPushButton* LinkButton() const { return link_; }
  QPushButton* ListButton() const { return list_; }
  QPushButton* LoadButton() const { return load_; }
  QPushButton* ClearButton() const { return clear_; }
  QFileDialog* LoadDialog() const { return load_dialog_; }

  // The Link… button's work, with the address asked for already.
  void MakeLink(const QString& address);
  // Loads the file at `path`; false (and nothing changed) when it cannot
  // be read.
  bool LoadFile(const QString& path);

 private:
  void Show(const std::string& html);

  QTextEdit* editor_ = nullptr;
  QPushButton* bold_ = nullptr;
  QPushButton* italic_ = nullptr;
  QPushButton* link_ = nullptr;
  QPushButton* list_ = nullptr;
  QPushButton* load_ = nullptr;
  QPushButton* clear_ = nullptr;
  QFileDialog* load_dialog_ = nullptr;
  std::string stored_;   // as set or loaded
  bool edited_ = false;  // changed in the editor since
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_HTML_RESPONSE_WINDOW_H_
