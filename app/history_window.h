// "History": who was answered, with which response, and who was not and
// why, from the history file of the settings folder (read afresh each time
// the window opens, so the unattended checks' entries are there too);
// sorted by a click on a column's title, filtered by a text, and the rows
// shown written to a CSV file by "Export CSV…".
#ifndef REPLYVANE_APP_HISTORY_WINDOW_H_
#define REPLYVANE_APP_HISTORY_WINDOW_H_

#include <QWidget>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace replyvane::app {

class HistoryModel;

class HistoryWindow : public QWidget {
  Q_OBJECT

 public:
  // `folder` ends in "/".
  HistoryWindow(QWidget* parent, std::string folder);

  QTableView* Table() const { return table_; }
  HistoryModel* Model() const { return model_; }
  QLineEdit* Filter() const { return filter_; }
  QLabel* CountText() const { return count_; }
  QPushButton* ExportButton() const { return export_; }

  // Reads the history file again.
  void Reload();
  // Writes the rows shown, in their order, with a title row; raises
  // core::StreamError when the file cannot be written.
  void ExportCsv(const std::string& path) const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowCount();
  void AskAndExport();

  std::string folder_;
  HistoryModel* model_ = nullptr;
  QTableView* table_ = nullptr;
  QLineEdit* filter_ = nullptr;
  QLabel* count_ = nullptr;
  QPushButton* export_ = nullptr;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_HISTORY_WINDOW_H_
