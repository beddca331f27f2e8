#include "app/window_helpers.h"

#include <QEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QWidget>

#include "app/pictures.h"

namespace replyvane::app {

namespace {

// Removes itself after the first show event of the window it watches.
class FirstShowCentring : public QObject {
 public:
  explicit FirstShowCentring(QWidget* window) : QObject(window) {
    window->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      auto* window = static_cast<QWidget*>(watched);
      if (QScreen* screen = window->screen()) {
        QRect area = screen->availableGeometry();
        window->move(area.center() - window->rect().center());
      }
      window->removeEventFilter(this);
      deleteLater();
    }
    return false;
  }
};

}  // namespace

QFont LayoutFont() {
  struct Face {
    const char* family;
    int pixel_size;
  };
  // Each fits every text of the windows at its size.
  static constexpr Face kFaces[] = {{"DejaVu Sans Condensed", 11},
                                    {"DejaVu Sans", 10}};
  QFont font("Sans Serif");
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(10);
  for (const Face& face : kFaces) {
    if (QFontDatabase::hasFamily(face.family)) {
      font.setFamily(face.family);
      font.setPixelSize(face.pixel_size);
      break;
    }
  }
  return font;
}

void CentreOnFirstShow(QWidget* window) { new FirstShowCentring(window); }

QWidget* SetUpSettingsWindow(QWidget* window, const char* name,
                             const char* caption, int width, int height,
                             const QPixmap& background) {
  window->setObjectName(name);
  window->setFont(LayoutFont());
  window->setWindowTitle(caption);
  window->setWindowIcon(ApplicationIcon());
  // Only the main window ends the program when closed.
  window->setAttribute(Qt::WA_QuitOnClose, false);
  window->setFixedSize(width + 2 * kBorderWidth, height + 2 * kBorderWidth);
  auto* content = new QWidget(window);
  content->setGeometry(kBorderWidth, kBorderWidth, width, height);
  AddPicture(content, "Image1", background, 0, 0, width, height);
  CentreOnFirstShow(window);
  return content;
}

void ShowAndRaise(QWidget* window) {
  window->show();
  window->raise();
  window->activateWindow();
}

void SetTabOrder(std::initializer_list<QWidget*> controls) {
  QWidget* previous = nullptr;
  for (QWidget* control : controls) {
    if (previous != nullptr) QWidget::setTabOrder(previous, control);
    previous = control;
  }
}

QPushButton* AddButton(QWidget* parent, const char* name, const char* text,
                       int x, int y, int width, int height) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(x, y, width, height);
  return button;
}

QWidget* AddFrame(QWidget* parent, int x, int y, int width, int height) {
  auto* frame = new QGroupBox(parent);
  frame->setGeometry(x, y, width, height);
  return frame;
}

QLabel* AddLabel(QWidget* parent, const char* text, int x, int y) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setTextFormat(Qt::PlainText);
  label->adjustSize();
  label->move(x, y);
  return label;
}

void CloseOnEscape(QWidget* window) {
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
  QObject::connect(escape, &QShortcut::activated, window,
                   [window] { window->close(); });
}

QString PlainToolTip(const QString& text) {
  // A tool tip that looks like markup is rendered as markup; escaped inside
  // a paragraph that keeps blanks and line breaks, it shows as typed.
  return "<p style='white-space:pre'>" + text.toHtmlEscaped() + "</p>";
}

QLineEdit* AddEdit(QWidget* parent, const char* name, int x, int y, int width) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setGeometry(x, y, width, kEditHeight);
  return edit;
}

QLabel* AddPicture(QWidget* parent, const char* name, const QPixmap& picture,
                   int x, int y, int width, int height) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setPixmap(picture);
  label->setScaledContents(true);
  // Stretched to whatever room it gets; never asks for the picture's size.
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  label->setGeometry(x, y, width, height);
  return label;
}

}  // namespace replyvane::app
