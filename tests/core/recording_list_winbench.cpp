// The recordings list's model with Windows' own text services (the main window's natural order and
// linguistic search) at 100,000 and 1,000,000 recordings: a header click for every column both
// ways, search keystrokes typing a word letter by letter and deleting it again, and the private
// bytes that each listed and measured recording keeps. Prints figures; never fails on time.
// Usage: recording_list_winbench [counts=100000,1000000]
#include <windows.h>
// After windows.h.
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/recording_list.h"
#include "core/text_order_win.h"
#include "support/bench_entries.h"

namespace {

using namespace callwright;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Committed memory of this process only (Wine reports it as PagefileUsage alone).
double PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters))) {
    return 0;
  }
  return static_cast<double>(counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage);
}

std::unique_ptr<RecordingList> Listed(std::size_t count) {
  RecordingListServices services;
  services.list = [count](const std::wstring&, const std::function<bool()>&) { return test::BenchEntries(count); };
  // Sizes and lengths spread over the rows, as a real folder has them.
  services.measure = [](const std::wstring& path) {
    const auto spread = static_cast<std::int64_t>(std::hash<std::wstring>{}(path) % 100000);
    return FileOutcome{FileStatus::Done, 44 + spread * 32, spread * 7};
  };
  services.wake = [] {};
  services.measure_interval = std::chrono::milliseconds(30);
  UseWindowsTextOrder(services);
  auto list = std::make_unique<RecordingList>(services);
  list->List(L"C:\\Users\\someone\\Callwright\\Records");
  while (list->Listing()) {
    ::Sleep(5);
    list->Update();
  }
  return list;
}

// What one call of each text service costs here, over the benchmark's partner texts.
void ServiceCalls() {
  const std::vector<WavEntry> entries = test::BenchEntries(100000);
  std::vector<std::wstring> partners;
  for (const WavEntry& entry : entries) partners.push_back(PartnerText(entry.path));
  int sink = 0;
  auto start = Clock::now();
  for (std::size_t i = 1; i < partners.size(); ++i) sink += NaturalCompare(partners[i - 1], partners[i]) < 0;
  const double compare_ns = MsSince(start) * 1e6 / static_cast<double>(partners.size() - 1);
  start = Clock::now();
  for (const std::wstring& partner : partners) sink += static_cast<int>(NaturalSortKey(partner).size());
  const double key_ns = MsSince(start) * 1e6 / static_cast<double>(partners.size());
  start = Clock::now();
  for (const WavEntry& entry : entries) sink += ContainsLinguistic(entry.path, L"name.123") ? 1 : 0;
  const double find_ns = MsSince(start) * 1e6 / static_cast<double>(entries.size());
  std::printf("one call: CompareStringEx %.0f ns, LCMapStringEx sort key %.0f ns, the search's match %.0f ns (%d)\n",
              compare_ns, key_ns, find_ns, sink % 2);
}

void Measure(std::size_t count) {
  const double before = PrivateBytes();
  auto start = Clock::now();
  std::unique_ptr<RecordingList> list = Listed(count);
  const double listed_ms = MsSince(start);
  const double after = PrivateBytes();
  std::printf("%zu recordings: listed and measured in %.0f ms; private bytes per recording %.0f\n", count, listed_ms,
              (after - before) / static_cast<double>(count));

  static const char* const kColumnNames[] = {"When", "Partner", "Size", "Length", "File location"};
  double longest_sort = 0;
  for (int column = 0; column < RecordingList::kColumnCount; ++column) {
    for (const bool ascending : {true, false}) {
      start = Clock::now();
      list->SetSort(column, ascending);
      const double ms = MsSince(start);
      longest_sort = std::max(longest_sort, ms);
      std::printf("  sort by %s %s: %.0f ms\n", kColumnNames[column], ascending ? "up" : "down", ms);
    }
  }
  std::printf("  longest sort: %.0f ms\n", longest_sort);

  // Newest first, as a user looks for a recent call; then a partner's name typed and rubbed out.
  list->SetSort(RecordingList::kWhen, false);
  const std::wstring word = L"name.123";
  std::wstring typed;
  double longest_key = 0;
  std::printf("  search keystrokes (ms, rows shown):");
  const auto keystroke = [&](std::wstring text) {
    start = Clock::now();
    list->SetFilter(std::move(text));
    const double ms = MsSince(start);
    longest_key = std::max(longest_key, ms);
    std::printf(" \"%ls\" %.0f (%d)", list->Filter().c_str(), ms, list->Count());
  };
  for (const wchar_t letter : word) keystroke(typed += letter);
  while (!typed.empty()) {
    typed.pop_back();
    keystroke(typed);
  }
  std::printf("\n  longest search keystroke: %.0f ms\n", longest_key);
  list.reset();
}

}  // namespace

int main(int argc, char** argv) {
  // Figures appear as they come, also when the output is a pipe or a file.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::vector<std::string> counts;
  const std::string count_list = argc > 1 ? argv[1] : "100000,1000000";
  for (std::size_t at = 0; at < count_list.size();) {
    const std::size_t comma = count_list.find(',', at);
    counts.push_back(count_list.substr(at, comma - at));
    at = comma == std::string::npos ? count_list.size() : comma + 1;
  }
  if (counts.size() == 1) {
    // First in a fresh process, so that no heap left free by anything before serves the rows.
    Measure(std::strtoull(counts[0].c_str(), nullptr, 10));
    ServiceCalls();
    return 0;
  }
  for (const std::string& count : counts) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + std::wstring(count.begin(), count.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(self, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
      std::printf("could not start the benchmark for %s recordings\n", count.c_str());
      return 1;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  return 0;
}
