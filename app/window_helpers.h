// Small pieces the three windows share: placing a window, and building the
// fixed-position controls of the settings windows.
#ifndef REPLYVANE_APP_WINDOW_HELPERS_H_
#define REPLYVANE_APP_WINDOW_HELPERS_H_

#include <QFont>
#include <QPixmap>
#include <QString>
#include <initializer_list>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace replyvane::app {

// Space between a window's edge and its contents.
inline constexpr int kBorderWidth = 5;
inline constexpr int kEditHeight = 21;
inline constexpr int kNumericBoxHeight = 22;

// The font of every window: its fixed positions were drawn for a small
// 8-point sans-serif, which a desktop's usual font outgrows. A condensed
// face at that size (11 px at 96 dpi) when installed, else the plain face
// or the desktop's sans-serif a pixel smaller.
QFont LayoutFont();

// Centres `window` on its screen the first time it is shown; later showings
// keep wherever the user moved it.
void CentreOnFirstShow(QWidget* window);

// Makes `window` a settings window: name, caption, a fixed size that fits
// `width` x `height` of contents inside the border, hidden on close without
// ending the program. Returns the contents area, with `background` under it
// all, where the controls go at their positions.
QWidget* SetUpSettingsWindow(QWidget* window, const char* name,
                             const char* caption, int width, int height,
                             const QPixmap& background);
// Makes a window visible and brings it to the front, also when it is
// visible already.
void ShowAndRaise(QWidget* window);
// Tab order of `controls`, first to last.
void SetTabOrder(std::initializer_list<QWidget*> controls);

// A transparent label whose text starts at (x, y).
QLabel* AddLabel(QWidget* parent, const char* text, int x, int y);
// Escape closes `window`, as its Close button does.
void CloseOnEscape(QWidget* window);
// `text` as a tool tip that shows its characters, never markup.
QString PlainToolTip(const QString& text);
// A text box, kEditHeight high.
QLineEdit* AddEdit(QWidget* parent, const char* name, int x, int y, int width);
// A push button at (x, y).
QPushButton* AddButton(QWidget* parent, const char* name, const char* text,
                       int x, int y, int width, int height);
// A frame with no title, drawn under the controls created after it.
QWidget* AddFrame(QWidget* parent, int x, int y, int width, int height);
// A picture that fills `width` x `height` at (x, y), under later children.
QLabel* AddPicture(QWidget* parent, const char* name, const QPixmap& picture,
                   int x, int y, int width, int height);

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_WINDOW_HELPERS_H_
