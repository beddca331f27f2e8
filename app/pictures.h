// The program's own pictures, compiled in as Qt resources (pictures/*.jpg,
// pictures/*.png, made by pictures/make_pictures.sh). JPEG files are decoded
// by Qt's JPEG image plugin; a picture that cannot be decoded comes back
// null, and the window shows its plain background instead.
#ifndef REPLYVANE_APP_PICTURES_H_
#define REPLYVANE_APP_PICTURES_H_

#include <QIcon>
#include <QPixmap>

namespace replyvane::app {

QPixmap BannerPicture();         // top panel of the main window
QPixmap StripPicture();          // strip under the message list
QPixmap ConnectionBackground();  // POP3/SMTP settings window
QPixmap ResponderBackground();   // responder settings window
QIcon RowPicture();              // 16 x 16, in front of every list row
QIcon ApplicationIcon();

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_PICTURES_H_
