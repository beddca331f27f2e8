#include "app/program.h"

#include <QApplication>

#include "app/local_text.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "app/pictures.h"
#include "app/responder_settings_window.h"
#include "app/settings_store.h"
#include "app/settings_window.h"
#include "app/single_instance.h"
#include "app/termination_close.h"
#include "mail/temp_file.h"
#include "responder/instance_lock.h"
#include "responder/settings_folder.h"

namespace replyvane::app {

Program::Program(const std::string& settings_directory) {
  SettingsStore store(settings_directory);
  frm_main_ = std::make_unique<MainWindow>();
  form1_ = std::make_unique<SettingsWindow>();
  form1_->ShowSettingsFolder(FromBytes(store.SettingsDirectory()));
  form1_->SetUpSignIn(store.SettingsDirectory());
  form2_ = std::make_unique<ResponderSettingsWindow>(*form1_, store);
  frm_main_->SetSettingsWindows(form1_.get(), form2_.get(), store);
}

Program::~Program() = default;

int RunProgram(const std::string& settings_folder) {
  QApplication::setApplicationName(kApplicationTitle);
  QApplication::setWindowIcon(ApplicationIcon());
  CatchTermination();
  mail::RemoveStaleTempFiles(mail::TempDirectory());
  const std::string folder =
      settings_folder.empty()
          ? responder::ChooseSettingsFolder(responder::ExecutableDirectory())
          : settings_folder;
  // Two programs beside the same settings would answer the same mail twice.
  const responder::InstanceLock instance_lock(folder);
  if (!instance_lock.Held()) return GiveWayToFirstInstance(folder);
  Program program(folder);
  const InstanceListener listener(folder, &program.frmMain());
  CloseOnTermination(&program.frmMain());
  program.frmMain().show();
  return QApplication::exec();
}

}  // namespace replyvane::app
