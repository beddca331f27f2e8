#include "app/history_model.h"

#include <strings.h>
#include <time.h>

#include <algorithm>
#include <numeric>

#include "app/window_helpers.h"
#include "core/text.h"

namespace replyvane::app {

namespace {

using responder::HistoryEntry;

std::string LocalTimeText(int64_t at) {
  const time_t when = time_t(at);
  struct tm local;
  if (::localtime_r(&when, &local) == nullptr) return std::to_string(at);
  char text[32];
  ::strftime(text, sizeof(text), "%Y-%m-%d %H:%M", &local);
  return text;
}

std::string ResultText(const HistoryEntry& entry) {
  switch (entry.outcome) {
    case HistoryEntry::Outcome::kAnswered:
      return "Answered";
    case HistoryEntry::Outcome::kAnsweredEarlier:
      return "Answered at an earlier check";
    case HistoryEntry::Outcome::kNotAnswered:
      break;
  }
  return "Not answered: " + entry.why_not;
}

}  // namespace

HistoryModel::HistoryModel(QObject* parent) : QAbstractTableModel(parent) {}

const char* HistoryModel::ColumnTitle(int column) {
  static constexpr const char* kTitles[kColumnCount] = {
      "Date", "Sender", "Subject", "Response", "Forwarded", "Result"};
  return kTitles[column];
}

void HistoryModel::SetEntries(const std::vector<HistoryEntry>& entries) {
  beginResetModel();
  rows_.clear();
  rows_.reserve(entries.size());
  // Newest first: the file is in the order things happened.
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    const HistoryEntry& entry = *it;
    Row row;
    row.at = entry.at;
    row.cells[kDate] = LocalTimeText(entry.at);
    row.cells[kSender] =
        entry.sender_name.empty()
            ? entry.sender_address
            : entry.sender_name + " <" + entry.sender_address + ">";
    row.cells[kSubject] = entry.subject;
    if (entry.outcome == HistoryEntry::Outcome::kAnswered) {
      row.cells[kResponse] =
          entry.response.empty() ? "(default)" : entry.response;
    }
    row.cells[kForwarded] = entry.forwarded ? "yes" : "";
    row.cells[kResult] = ResultText(entry);
    for (const std::string& cell : row.cells) {
      row.folded += core::LowerCase(cell);
      row.folded += '\t';  // no match runs from one cell into the next
    }
    rows_.push_back(std::move(row));
  }
  order_.resize(rows_.size());
  std::iota(order_.begin(), order_.end(), 0);
  ApplyFilter();
  endResetModel();
}

void HistoryModel::SetFilter(const std::string& text) {
  const std::string folded = core::LowerCase(core::Trim(text));
  if (folded == filter_) return;
  beginResetModel();
  filter_ = folded;
  ApplyFilter();
  endResetModel();
}

void HistoryModel::ApplyFilter() {
  visible_.clear();
  if (filter_.empty()) {
    visible_ = order_;
    return;
  }
  for (int index : order_) {
    if (rows_[size_t(index)].folded.find(filter_) != std::string::npos) {
      visible_.push_back(index);
    }
  }
}

const std::string& HistoryModel::Cell(int row, int column) const {
  return rows_[size_t(visible_[size_t(row)])].cells[size_t(column)];
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(visible_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= int(visible_.size()) ||
      index.column() >= kColumnCount) {
    return {};
  }
  const QString text =
      QString::fromStdString(Cell(index.row(), index.column()));
  if (role == Qt::DisplayRole) return text;
  // Shown whole, as text: never markup.
  if (role == Qt::ToolTipRole && !text.isEmpty()) return PlainToolTip(text);
  return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation,
                                  int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= kColumnCount) {
    return {};
  }
  return QString(ColumnTitle(section));
}

void HistoryModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= kColumnCount) return;
  emit layoutAboutToBeChanged();
  const auto less = [&](int a, int b) {
    const Row& left = rows_[size_t(a)];
    const Row& right = rows_[size_t(b)];
    if (column == kDate) return left.at < right.at;
    return ::strcasecmp(left.cells[size_t(column)].c_str(),
                        right.cells[size_t(column)].c_str()) < 0;
  };
  if (order == Qt::AscendingOrder) {
    std::stable_sort(order_.begin(), order_.end(), less);
  } else {
    std::stable_sort(order_.begin(), order_.end(),
                     [&](int a, int b) { return less(b, a); });
  }
  ApplyFilter();
  // The rows are other rows now: no index of before stays valid.
  const QModelIndexList old = persistentIndexList();
  changePersistentIndexList(old, QModelIndexList(old.size()));
  emit layoutChanged();
}

}  // namespace replyvane::app
