// The rows of the History window: the history's entries as texts, newest
// first until sorted otherwise, and the subset that holds a filter text.
// Sorting and filtering work on texts made once at loading, so neither
// costs more than a pass (filter) or a sort of indices (sort) over 100,000
// entries.
#ifndef REPLYVANE_APP_HISTORY_MODEL_H_
#define REPLYVANE_APP_HISTORY_MODEL_H_

#include <QAbstractTableModel>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "responder/answer_history.h"

namespace replyvane::app {

class HistoryModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    kDate,
    kSender,
    kSubject,
    kResponse,
    kForwarded,
    kResult,
    kColumnCount
  };

  explicit HistoryModel(QObject* parent = nullptr);

  void SetEntries(const std::vector<responder::HistoryEntry>& entries);
  // Shows only the rows with `text` (any letter case) in a column; empty:
  // all of them.
  void SetFilter(const std::string& text);

  int TotalCount() const { return int(rows_.size()); }
  // The text of a shown row's column, UTF-8.
  const std::string& Cell(int row, int column) const;
  static const char* ColumnTitle(int column);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role) const override;
  void sort(int column, Qt::SortOrder order) override;

 private:
  struct Row {
    int64_t at = 0;
    std::array<std::string, kColumnCount> cells;
    std::string folded;  // every cell, lower case, for the filter
  };
  void ApplyFilter();

  std::vector<Row> rows_;
  std::vector<int> order_;    // every row, sorted
  std::vector<int> visible_;  // the rows of order_ that hold the filter
  std::string filter_;        // lower case
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_HISTORY_MODEL_H_
