// Replyvane: a desktop mail auto-responder for one mailbox.
#include <QApplication>

#include "app/program.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  return replyvane::app::RunProgram();
}
