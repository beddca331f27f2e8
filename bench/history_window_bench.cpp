// The History window over 100,000 entries: reading history.dat, opening
// the window (read, rows made, sorted newest first, shown and painted),
// one filter text typed, and a sort by subject. Run offscreen:
//
//   cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release
//     -DREPLYVANE_BUILD_BENCH=ON
//   cmake --build build/bench --target history_window_bench -j2
//   QT_QPA_PLATFORM=offscreen build/bench/bench/history_window_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <ctime>
#include <string>

#include "app/history_model.h"
#include "app/history_window.h"
#include "responder/answer_history.h"
#include "tests/support/temp_dir.h"

namespace {

using replyvane::responder::HistoryEntry;

constexpr int kEntries = 100000;

// A year of mail at 100,000 entries: varied senders, names, subjects and
// outcomes, as appended by checks.
const std::string& HistoryFolder() {
  static replyvane::testing::TempDir dir("history-bench");
  static const std::string folder = [] {
    std::string text;
    const int64_t start = ::time(nullptr) - 365LL * 24 * 60 * 60;
    for (int i = 0; i < kEntries; ++i) {
      HistoryEntry entry;
      entry.at = start + int64_t(i) * 315;
      entry.sender_address = "person" +
                             std::to_string(int64_t(i) * 7919 % 5000) +
                             "@example" + std::to_string(i % 97) + ".com";
      entry.sender_name = "Person " + std::to_string(i * 31 % 5000);
      entry.subject = "Question " +
                      std::to_string(int64_t(i) * 104729 % 100000) +
                      " about the order of last week, and a few more words";
      if (i % 5 == 0) {
        entry.outcome = HistoryEntry::Outcome::kNotAnswered;
        entry.why_not = i % 10 == 0 ? "mailing list" : "automatic message";
      } else if (i % 3 == 0) {
        entry.response = "Billing";
      }
      entry.forwarded = i % 2 == 0;
      text += replyvane::responder::HistoryLine(entry);
    }
    replyvane::testing::WriteFile(dir.File(replyvane::responder::kHistoryName),
                                  text);
    return dir.Path() + "/";
  }();
  return folder;
}

void BM_ReadHistory(benchmark::State& state) {
  const std::string path = HistoryFolder() + replyvane::responder::kHistoryName;
  for (auto _ : state) {
    const auto entries = replyvane::responder::ReadHistory(path);
    benchmark::DoNotOptimize(entries.data());
    if (entries.size() != size_t(kEntries)) state.SkipWithError("short");
  }
}

void BM_OpenHistoryWindow(benchmark::State& state) {
  for (auto _ : state) {
    replyvane::app::HistoryWindow window(nullptr, HistoryFolder());
    window.show();
    QApplication::processEvents();
    window.repaint();
    if (window.Model()->rowCount() != kEntries) state.SkipWithError("short");
    state.PauseTiming();
    window.close();
    QApplication::processEvents();
    state.ResumeTiming();
  }
}

void BM_FilterHistory(benchmark::State& state) {
  replyvane::app::HistoryWindow window(nullptr, HistoryFolder());
  window.show();
  QApplication::processEvents();
  bool odd = false;
  for (auto _ : state) {
    window.Filter()->setText(odd ? "billing" : "person42");
    odd = !odd;
    window.repaint();
  }
}

void BM_SortHistoryBySubject(benchmark::State& state) {
  replyvane::app::HistoryWindow window(nullptr, HistoryFolder());
  window.show();
  QApplication::processEvents();
  bool up = false;
  for (auto _ : state) {
    window.Table()->sortByColumn(replyvane::app::HistoryModel::kSubject,
                                 up ? Qt::AscendingOrder : Qt::DescendingOrder);
    up = !up;
    window.repaint();
  }
}

BENCHMARK(BM_ReadHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenHistoryWindow)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_FilterHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortHistoryBySubject)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
