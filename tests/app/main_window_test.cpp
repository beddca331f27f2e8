// The main window and the settings windows as the user meets them: layout,
// status bar, actions, the settings menu, the attachment list, the failure
// box, and a close that touches no network.
#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QImageReader>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>

#include "app/message_boxes.h"
#include "app/numeric_box.h"
#include "app/pictures.h"
#include "app/program.h"
#include "app/responder_settings_window.h"
#include "app/settings_window.h"
#include "core/exception.h"
#include "tests/app/box_closer.h"

namespace replyvane::app {
namespace {

int OpenSockets() {
  int count = 0;
  for (const QFileInfo& fd :
       QDir("/proc/self/fd").entryInfoList(QDir::System)) {
    if (fd.symLinkTarget().contains("socket:")) ++count;
  }
  return count;
}

QStringList TabChain(QWidget* first, int count) {
  QStringList names;
  QWidget* widget = first;
  while (names.size() < count) {
    if ((widget->focusPolicy() & Qt::TabFocus) &&
        widget->focusProxy() == nullptr && !widget->objectName().isEmpty()) {
      names << widget->objectName();
    }
    widget = widget->nextInFocusChain();
  }
  return names;
}

// A menu opens at the point, moved left only as far as the screen demands.
void ExpectPoppedUpAt(const QMenu* menu, const QPoint& point) {
  const QRect screen = menu->screen()->geometry();
  QCOMPARE(menu->y(), point.y());
  if (menu->x() != point.x()) {
    QVERIFY(menu->x() < point.x());
    QCOMPARE(menu->geometry().right(), screen.right());
  }
}

class ThrowingWindow : public MainWindow {
 public:
  void AccountsClick() override {
    throw core::Exception("Socket Error # 10061\r\nConnection refused");
  }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    program_ = std::make_unique<Program>(dir_->path().toStdString());
  }
  void cleanup() {
    program_.reset();
    dir_.reset();
  }

  void MainWindowLayout() {
    MainWindow& window = program_->frmMain();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.objectName(), QString("frmMain"));
    QCOMPARE(window.windowTitle(), QString("Replyvane"));
    QCOMPARE(window.size(), QSize(763, 386));
    QCOMPARE(window.findChild<QWidget*>("Panel1")->height(), 41);
    auto* strip = window.findChild<QWidget*>("Image1");
    QCOMPARE(strip->geometry(), QRect(0, window.lvHeaders()->height(),
                                      window.lvHeaders()->width(), 10));
    QVERIFY(strip->isVisible());
    QCOMPARE(strip->parentWidget()->height(),
             window.lvHeaders()->height() + 10);  // inside its panel

    QTreeWidget* list = window.lvHeaders();
    QCOMPARE(list->columnCount(), 5);
    QCOMPARE(list->header()->length(), list->viewport()->width());  // fills
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);

    QTreeWidgetItem* row = window.AppendRow(
        "Hello", {"jo@example.org", "me@example.org", "1/2/26", "512", "n/a"});
    QCOMPARE(row->text(0), QString("Hello"));
    QCOMPARE(row->text(4), QString("512"));
    QCOMPARE(row->text(5), QString("n/a"));
    QCOMPARE(row->checkState(0), Qt::Unchecked);
    QVERIFY(row->flags() & Qt::ItemIsUserCheckable);
    QVERIFY(!row->icon(0).isNull());
  }

  void PicturesAreDecoded() {
    QVERIFY(QImageReader::supportedImageFormats().contains("jpeg"));
    const struct {
      QPixmap picture;
      QSize size;
    } rows[] = {{BannerPicture(), {763, 41}},
                {StripPicture(), {763, 10}},
                {ConnectionBackground(), {545, 201}},
                {ResponderBackground(), {578, 457}}};
    for (const auto& row : rows) QCOMPARE(row.picture.size(), row.size);
    QVERIFY(RowPicture().availableSizes().contains(QSize(16, 16)));
    QVERIFY(!ApplicationIcon().isNull());
  }

  void StatusCursorAndActions() {
    MainWindow& window = program_->frmMain();
    for (QAction* action :
         {window.CheckMail(), window.Retrieve(), window.Delete(),
          window.Purge(), window.Disconnect(), window.Setup(), window.Send()}) {
      QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
    }

    window.ShowBusy(true);
    window.ShowBusy(true);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    window.ShowBusy(false);
    QVERIFY(QApplication::overrideCursor() == nullptr);

    window.SetConnected(true);
    QVERIFY(!window.CheckMail()->isEnabled());
    for (QAction* action : {window.Retrieve(), window.Delete(), window.Purge(),
                            window.Disconnect()}) {
      QVERIFY(action->isEnabled());
    }
    QCOMPARE(window.PanelText(1), QString("Connected"));
    QVERIFY(window.Setup()->isEnabled() && window.Send()->isEnabled());

    // Disconnect runs its handler only while enabled.
    window.ShowBusy(true);
    window.Disconnect()->trigger();
    QVERIFY(QApplication::overrideCursor() == nullptr);
    window.SetConnected(false);
    QVERIFY(window.CheckMail()->isEnabled() &&
            !window.Disconnect()->isEnabled());
    QCOMPARE(window.PanelText(1), QString());
    window.ShowBusy(true);
    window.Disconnect()->trigger();
    QVERIFY(QApplication::overrideCursor() != nullptr);
    window.ShowBusy(false);

    window.ShowStatus("Messsage 1 of 3");
    QCOMPARE(window.PanelText(1), QString("Messsage 1 of 3"));
    window.SetPanelText(0, "No message selected");
    QCOMPARE(window.PanelText(0), QString("No message selected"));
  }

  void SettingsMenuFromTheButtonAndTheList() {
    MainWindow& window = program_->frmMain();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QMenu* menu = window.PopupMenu1();
    QCOMPARE(window.ConnectionSettings1()->text(),
             QString("POP3/SMTP Settings"));
    QCOMPARE(window.ResponseSettings1()->text(), QString("Response Settings"));

    for (Qt::MouseButton button : {Qt::RightButton, Qt::LeftButton}) {
      const QPoint at(10, 12);
      QTest::mousePress(window.Button3(), button, {}, at);
      QTest::mouseRelease(window.Button3(), button, {}, at);
      QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), 10000);
      ExpectPoppedUpAt(menu, window.Button3()->mapToGlobal(at));
      menu->hide();
    }

    QWidget* viewport = window.lvHeaders()->viewport();
    const QPoint at(30, 40);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                            viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
    QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), 10000);
    ExpectPoppedUpAt(menu, viewport->mapToGlobal(at));
    menu->hide();

    window.ConnectionSettings1()->trigger();
    QVERIFY(program_->Form1().isVisible());
    window.ResponseSettings1()->trigger();
    QVERIFY(program_->Form2().isVisible());
    QVERIFY(program_->frmMain().isVisible());  // modeless
  }

  void SettingsWindowsHideAndKeepTheirValues() {
    SettingsWindow& form1 = program_->Form1();
    ResponderSettingsWindow& form2 = program_->Form2();
    program_->frmMain().ResponseSettings1Click();
    form2.Edit3()->setText("Away");
    form2.Memo1()->setPlainText("Back soon");
    QVERIFY(form2.close());
    QVERIFY(!form2.isVisible());
    program_->frmMain().ResponseSettings1Click();
    QCOMPARE(form2.Edit3()->text(), QString("Away"));
    QCOMPARE(form2.Memo1()->toPlainText(), QString("Back soon"));

    program_->frmMain().ConnectionSettings1Click();
    QTest::mouseClick(form1.Button1(), Qt::LeftButton);
    QVERIFY(!form1.isVisible());
    QCOMPARE(program_->frmMain().Form1(), &form1);
  }

  void SettingsWindowControls() {
    SettingsWindow& form1 = program_->Form1();
    ResponderSettingsWindow& form2 = program_->Form2();
    QCOMPARE(form1.objectName(), QString("Form1"));
    QCOMPARE(form1.windowTitle(), QString("Settings"));
    QCOMPARE(form2.objectName(), QString("Form2"));
    QCOMPARE(form2.windowTitle(), QString("Responder Settings"));

    QCOMPARE(form1.SpinEdit2()->MinValue(), 1);
    // The port boxes take every TCP port (465, 587, 995 included).
    QCOMPARE(form1.SpinEdit2()->MaxValue(), 65535);
    QCOMPARE(form1.SpinEdit1()->MaxValue(), 120);
    QCOMPARE(form1.SpinEdit3()->MaxValue(), 65535);
    QCOMPARE(form1.ComboBox1()->count(), 2);
    QCOMPARE(form1.ComboBox1()->itemText(1), QString("Simple Login"));
    QCOMPARE(form2.BitBtn1()->text(), QString("Add"));
    QCOMPARE(form2.BitBtn2()->text(), QString("Remove"));

    QCOMPARE(TabChain(form1.Edit5(), 11),
             QStringList({"Edit5", "Edit1", "Edit2", "Edit3", "SpinEdit1",
                          "Edit4", "Edit6", "SpinEdit2", "SpinEdit3", "Button1",
                          "ComboBox1"}));
    QCOMPARE(TabChain(form2.Edit1(), 9),
             QStringList({"Edit1", "Edit2", "Memo1", "ListBox1", "BitBtn1",
                          "BitBtn2", "Edit3", "CheckBox1", "Edit4"}));
  }

  void AddAndRemoveAttachments() {
    ResponderSettingsWindow& form2 = program_->Form2();
    QListWidget* list = form2.ListBox1();
    const QString file = dir_->filePath("plan.pdf");
    QFile(file).open(QIODevice::WriteOnly);

    BoxCloser closer;
    closer.other = [&](QDialog* dialog) {
      if (dialog != form2.OpenDialog1()) return;
      // Typed as a user would: selectFile() leaves a focused name box alone.
      form2.OpenDialog1()->setDirectory(dir_->path());
      if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) {
        name->setText("plan.pdf");
      }
      dialog->accept();  // QFileDialog::accept checks the choice
    };
    QTest::mouseClick(form2.BitBtn1(), Qt::LeftButton);
    QTest::mouseClick(form2.BitBtn1(), Qt::LeftButton);
    QCOMPARE(list->count(), 2);  // the same file twice
    QCOMPARE(list->item(1)->text(), file);
    closer.other = nullptr;  // cancels
    QTest::mouseClick(form2.BitBtn1(), Qt::LeftButton);
    QCOMPARE(list->count(), 2);

    list->addItem("/other");
    list->clearSelection();
    QTest::mouseClick(form2.BitBtn2(), Qt::LeftButton);
    QCOMPARE(list->count(), 3);  // nothing selected
    list->setCurrentRow(0);
    QTest::mouseClick(form2.BitBtn2(), Qt::LeftButton);
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(1)->text(), QString("/other"));
  }

  void MemoLinesAreTheDisplayedLines() {
    QTextEdit* memo = program_->Form2().Memo1();
    const struct {
      QString text;
      QStringList lines;
    } rows[] = {{"", {}},
                {"one", {"one"}},
                {"one\ntwo\n", {"one", "two"}},
                {"one\n\n", {"one", ""}},
                {"\nx", {"", "x"}}};
    for (const auto& row : rows) {
      memo->setPlainText(row.text);
      QVERIFY2(program_->Form2().Memo1Lines() == row.lines,
               qPrintable(row.text));
    }
    memo->setPlainText("a");
    memo->moveCursor(QTextCursor::End);
    memo->textCursor().insertText(QString(QChar::LineSeparator) + "b\u00a0c");
    QCOMPARE(program_->Form2().Memo1Lines(), QStringList({"a", "b\u00a0c"}));
    QCOMPARE(program_->Form2().Memo1Text(), QString("a\nb\u00a0c"));

    QString paragraph;
    for (int i = 0; i < 60; ++i) paragraph += QString("word%1 ").arg(i);
    memo->setPlainText(paragraph + "\nend");
    const QStringList lines = program_->Form2().Memo1Lines();
    QVERIFY(lines.size() > 3);
    QCOMPARE(lines.last(), QString("end"));
    QCOMPARE(lines.mid(0, lines.size() - 1).join(""), paragraph);
    const QFontMetrics metrics(memo->font());
    for (const QString& line : lines) {
      QVERIFY(metrics.horizontalAdvance(line.trimmed()) < memo->width());
    }
  }

  void FailureBoxes() {
    const struct {
      const char* text;
      const char* shown;
    } rows[] = {{"Connection refused", "Connection refused."},
                {"Done.", "Done."},
                {"Why?", "Why?."},
                {"Count: 5", "Count: 5."},
                {"Ends with a comma,", "Ends with a comma,"},
                {"Ends with a slash/", "Ends with a slash/."},
                {"", ""},
                {"caf\xc3\xa9", "caf\xc3\xa9."}};
    for (const auto& row : rows) {
      QVERIFY2(WithFullStop(row.text) == row.shown, row.text);
    }

    ThrowingWindow window;
    BoxCloser closer;
    QTest::mouseClick(window.Button1(), Qt::LeftButton);
    QCOMPARE(closer.Boxes().size(), 1);
    const BoxCloser::Box& box = closer.Boxes()[0];
    QCOMPARE(box.object_name, QString("FailureBox"));
    QCOMPARE(box.title, QString("Replyvane"));
    QCOMPARE(box.text, QString("Socket Error # 10061\r\nConnection refused."));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QStringList({"OK"}));

    ShowMessage("1");
    QCOMPARE(closer.Boxes().size(), 2);
    QCOMPARE(closer.Boxes()[1].text, QString("1"));
    QCOMPARE(closer.Boxes()[1].icon, QMessageBox::NoIcon);
  }

  void CloseAfterStartUpTouchesNoNetwork() {
    const int before = OpenSockets();
    MainWindow& window = program_->frmMain();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.close());
    QCOMPARE(OpenSockets(), before);
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<Program> program_;
};

}  // namespace replyvane::app

QTEST_MAIN(replyvane::app::MainWindowTest)
#include "main_window_test.moc"
