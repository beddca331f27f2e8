// The program's three windows, created in start-up order: the main window
// frmMain, then the settings window Form1, then Form2, whose creation loads
// every setting into both settings windows. Closing frmMain ends the
// program; the settings windows only hide.
#ifndef REPLYVANE_APP_PROGRAM_H_
#define REPLYVANE_APP_PROGRAM_H_

#include <memory>
#include <string>

namespace replyvane::app {

class MainWindow;
class ResponderSettingsWindow;
class SettingsWindow;

class Program {
 public:
  // Creates the windows, hidden, with the settings files in
  // `settings_directory`. Needs a QApplication.
  explicit Program(const std::string& settings_directory);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  MainWindow& frmMain() const { return *frm_main_; }
  SettingsWindow& Form1() const { return *form1_; }
  ResponderSettingsWindow& Form2() const { return *form2_; }

 private:
  // Declared in creation order; destroyed in reverse.
  std::unique_ptr<MainWindow> frm_main_;
  std::unique_ptr<SettingsWindow> form1_;
  std::unique_ptr<ResponderSettingsWindow> form2_;
};

// The whole program: sets the application title, creates the windows with the
// settings in `settings_folder` (empty: the usual folder, see
// responder/settings_folder.h), shows the main window and runs the event
// loop until it closes. Returns the exit code.
int RunProgram(const std::string& settings_folder = "");

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_PROGRAM_H_
