#include "app/history_window.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/history_model.h"
#include "app/local_text.h"
#include "app/message_boxes.h"
#include "app/pictures.h"
#include "app/window_helpers.h"
#include "core/private_file.h"
#include "responder/answer_history.h"
#include "responder/csv_record.h"

namespace replyvane::app {

HistoryWindow::HistoryWindow(QWidget* parent, std::string folder)
    : QWidget(parent, Qt::Window), folder_(std::move(folder)) {
  setObjectName("History");
  setWindowTitle("History");
  setWindowIcon(ApplicationIcon());
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(860, 480);
  CentreOnFirstShow(this);

  model_ = new HistoryModel(this);
  filter_ = new QLineEdit(this);
  filter_->setObjectName("HistoryFilter");
  filter_->setPlaceholderText("Filter: any text of the rows");
  filter_->setClearButtonEnabled(true);
  count_ = new QLabel(this);
  count_->setObjectName("HistoryCount");
  count_->setTextFormat(Qt::PlainText);
  export_ = new QPushButton("Export CSV…", this);
  export_->setObjectName("HistoryExport");
  auto* close = new QPushButton("Close", this);
  close->setObjectName("HistoryClose");

  table_ = new QTableView(this);
  table_->setObjectName("HistoryTable");
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->setTextElideMode(Qt::ElideRight);
  // Rows of one height, measured once: 100,000 rows open at once.
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(
      table_->fontMetrics().height() + 6);
  table_->verticalHeader()->hide();
  QHeaderView* header = table_->horizontalHeader();
  header->setStretchLastSection(true);
  for (auto [column, width] : {std::pair{HistoryModel::kDate, 120},
                               {HistoryModel::kSender, 200},
                               {HistoryModel::kSubject, 220},
                               {HistoryModel::kResponse, 90},
                               {HistoryModel::kForwarded, 70}}) {
    header->resizeSection(column, width);
  }
  table_->setSortingEnabled(true);
  table_->sortByColumn(HistoryModel::kDate, Qt::DescendingOrder);

  auto* top = new QHBoxLayout;
  top->addWidget(filter_, 1);
  top->addWidget(count_);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(export_);
  bottom->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(table_, 1);
  layout->addLayout(bottom);

  connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
    model_->SetFilter(ToBytes(text));
    ShowCount();
  });
  connect(export_, &QPushButton::clicked, this,
          [this] { ReportFailures([this] { AskAndExport(); }); });
  connect(close, &QPushButton::clicked, this, [this] { this->close(); });
  CloseOnEscape(this);
}

void HistoryWindow::Reload() {
  size_t damaged = 0;
  model_->SetEntries(
      responder::ReadHistory(folder_ + responder::kHistoryName, &damaged));
  // The sort the user chose stays.
  const QHeaderView* header = table_->horizontalHeader();
  model_->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
  model_->SetFilter(ToBytes(filter_->text()));
  ShowCount();
}

void HistoryWindow::ShowCount() {
  const int shown = model_->rowCount();
  const int total = model_->TotalCount();
  count_->setText(shown == total
                      ? QString("%1 entries").arg(total)
                      : QString("%1 of %2 entries").arg(shown).arg(total));
}

void HistoryWindow::ExportCsv(const std::string& path) const {
  std::vector<std::string> fields;
  for (int column = 0; column < HistoryModel::kColumnCount; ++column) {
    fields.push_back(HistoryModel::ColumnTitle(column));
  }
  std::string csv = responder::CsvRecord(fields);
  for (int row = 0; row < model_->rowCount(); ++row) {
    for (int column = 0; column < HistoryModel::kColumnCount; ++column) {
      fields[size_t(column)] = model_->Cell(row, column);
    }
    csv += responder::CsvRecord(fields);
  }
  core::WritePrivateFile(path, csv);
}

void HistoryWindow::AskAndExport() {
  const QString path = QFileDialog::getSaveFileName(
      this, "Export CSV", "history.csv", "CSV files (*.csv);;All files (*)");
  if (path.isEmpty()) return;
  ExportCsv(ToBytes(path));
}

void HistoryWindow::showEvent(QShowEvent* event) {
  Reload();
  QWidget::showEvent(event);
}

}  // namespace replyvane::app
