// The recordings list's model at 100,000 and 1,000,000 recordings: heap bytes kept per recording
// once listed and measured, and the time to take a listing and make every row's cells.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/recording_list.h"
#include "support/bench_entries.h"

namespace {

using namespace callwright;

std::vector<WavEntry> Entries(std::size_t count) { return test::BenchEntries(count); }

std::size_t HeapInUse() { return mallinfo2().uordblks; }

void Settle(RecordingList& list) {
  while (list.Listing()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    list.Update();
  }
}

void ListedAndMeasured(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  double bytes = 0;
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    {
      RecordingListServices services;
      services.list = [count](const std::wstring&, const std::function<bool()>&) { return Entries(count); };
      services.measure = [](const std::wstring&) { return FileOutcome{FileStatus::Done, 1000, 62000}; };
      services.wake = [] {};
      services.measure_interval = std::chrono::milliseconds(30);
      RecordingList list(services);
      list.List(L"C:\\Users\\someone\\Callwright\\Records");
      Settle(list);
      malloc_trim(0);
      bytes = static_cast<double>(HeapInUse() - before) / static_cast<double>(count);
      benchmark::DoNotOptimize(list.Count());
    }
  }
  state.counters["heap_bytes_per_recording"] = bytes;
}
BENCHMARK(ListedAndMeasured)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

void EveryCellMade(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  RecordingListServices services;
  services.list = [count](const std::wstring&, const std::function<bool()>&) { return Entries(count); };
  services.measure = [](const std::wstring&) { return FileOutcome{FileStatus::Done, 1000, 62000}; };
  services.wake = [] {};
  RecordingList list(services);
  list.List(L"C:\\Records");
  Settle(list);
  const NumberSeparators separators;
  for (auto _ : state) {
    for (int row = 0; row < list.Count(); ++row) {
      for (int column = 0; column < RecordingList::kColumnCount; ++column) {
        benchmark::DoNotOptimize(list.Text(row, static_cast<RecordingList::Column>(column), separators));
      }
    }
  }
  state.counters["rows"] = static_cast<double>(list.Count());
}
BENCHMARK(EveryCellMade)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

// A listed and measured list of `count` recordings.
std::unique_ptr<RecordingList> Listed(std::size_t count) {
  RecordingListServices services;
  services.list = [count](const std::wstring&, const std::function<bool()>&) { return Entries(count); };
  services.measure = [](const std::wstring& path) {
    return FileOutcome{FileStatus::Done, static_cast<std::int64_t>(path.size() * 977 % 100000), 62000};
  };
  services.wake = [] {};
  auto list = std::make_unique<RecordingList>(services);
  list->List(L"C:\\Records");
  Settle(*list);
  return list;
}

// One header click: the rows ordered anew by the column (the host's default text order).
void Sort(benchmark::State& state) {
  const auto list = Listed(static_cast<std::size_t>(state.range(0)));
  const int column = static_cast<int>(state.range(1));
  bool ascending = true;
  for (auto _ : state) {
    list->SetSort(column, ascending);
    ascending = !ascending;
  }
  state.counters["rows"] = static_cast<double>(list->Count());
}
BENCHMARK(Sort)
    ->ArgsProduct({{100000, 1000000},
                   {RecordingList::kWhen, RecordingList::kPartner, RecordingList::kSize, RecordingList::kLength}})
    ->Unit(benchmark::kMillisecond);

// One keystroke in the search box: the rows that hold the text, in the chosen order.
void FilterKeystroke(benchmark::State& state) {
  const auto list = Listed(static_cast<std::size_t>(state.range(0)));
  list->SetSort(RecordingList::kWhen, false);
  const std::wstring texts[] = {L"partner.name.12", L"partner.name.1"};
  int next = 0;
  for (auto _ : state) list->SetFilter(texts[next++ % 2]);
  state.counters["shown"] = static_cast<double>(list->Count());
}
BENCHMARK(FilterKeystroke)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
