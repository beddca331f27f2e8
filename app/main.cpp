#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  application.setApplicationName("Replyvane");
  QMainWindow window;
  window.setWindowTitle("Replyvane");
  window.show();
  return application.exec();
}
