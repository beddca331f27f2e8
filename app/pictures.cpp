#include "app/pictures.h"

#include <QString>

// The resources live in a static library; naming them here keeps the linker
// from dropping them.
static void InitPictureResources() { Q_INIT_RESOURCE(pictures); }

namespace replyvane::app {

namespace {

QPixmap Load(const char* name) {
  static const bool initialised = (InitPictureResources(), true);
  (void)initialised;
  return QPixmap(QString(":/pictures/") + name);
}

}  // namespace

QPixmap BannerPicture() { return Load("banner.jpg"); }
QPixmap StripPicture() { return Load("strip.jpg"); }
QPixmap ConnectionBackground() { return Load("settings_background.jpg"); }
QPixmap ResponderBackground() { return Load("responder_background.jpg"); }
QIcon RowPicture() { return QIcon(Load("row.png")); }
QIcon ApplicationIcon() { return QIcon(Load("icon.png")); }

}  // namespace replyvane::app
