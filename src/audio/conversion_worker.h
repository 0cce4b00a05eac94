#pragma once
// Converts finished recordings one at a time on a thread of its own, so that neither the window
// nor a call in progress waits for it. Driven from one thread (the window's): the worker only
// calls `wake`, and the owner answers with TakeResults().
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/converter.h"
#include "core/keep_format.h"

namespace callwright {

struct ConversionServices {
  // Converts one recording; `stop` set means the program is ending. Runs on the worker thread.
  std::function<Conversion(const std::wstring& wav, KeepFormat format, const std::atomic<bool>& stop)> convert = {};
  // Removes the temporary files a stopped run left in the folder and names its unfinished work.
  // Runs on the worker thread.
  std::function<std::vector<UnfinishedConversion>(const std::wstring& folder)> clean_up = {};
  // Runs first on the worker thread (Windows lowers its priority there).
  std::function<void()> thread_start = {};
  // Runs on the worker thread when results wait and none were waiting before, and when a clean-up
  // has queued work (so that the owner can show it pending). Must not block.
  std::function<void()> wake = {};
};

// What became of one recording given to the worker.
struct ConversionResult {
  std::wstring wav;
  KeepFormat format = KeepFormat::Wav;
  Conversion conversion;
};

class ConversionWorker {
 public:
  explicit ConversionWorker(ConversionServices services);
  // Stops and waits for the worker.
  ~ConversionWorker();
  ConversionWorker(const ConversionWorker&) = delete;
  ConversionWorker& operator=(const ConversionWorker&) = delete;

  // Queues a recording; false when it is already queued or being converted, or after Stop.
  bool Add(std::wstring wav, KeepFormat format);
  // Queues the clean-up of a folder, whose unfinished conversions are then queued in their own
  // format; without `convert_unfinished` the folder is only cleaned up.
  void CleanUp(std::wstring folder, bool convert_unfinished);
  // The recordings queued or being converted, in queue order (the one being converted first).
  std::vector<std::wstring> Pending() const;
  // Every result since the last call, in the order done.
  std::vector<ConversionResult> TakeResults();
  // The conversion under way ends before its next block; nothing queued starts. For good.
  void Stop() noexcept;
  // Nothing queued or under way, within the time given.
  bool WaitIdle(std::chrono::milliseconds timeout);
  // The worker thread has ended (or never started), within the time given.
  bool WaitEnded(std::chrono::milliseconds timeout);

 private:
  struct Job {
    std::wstring path;  // the recording, or the folder of a clean-up
    KeepFormat format = KeepFormat::Wav;
    bool clean_up = false;
    bool convert_unfinished = false;
  };
  void Run();
  void StartOnce();                            // lock_ held
  bool Queued(const std::wstring& wav) const;  // lock_ held
  void Deliver(ConversionResult result);

  ConversionServices services_;
  std::atomic<bool> stop_{false};
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::deque<Job> queue_;              // guarded by lock_
  std::wstring current_;               // guarded by lock_: the recording being converted
  bool busy_ = false;                  // guarded by lock_: a job is under way
  bool ended_ = false;                 // guarded by lock_
  std::vector<ConversionResult> results_;  // guarded by lock_
  std::thread thread_;                     // started by the first job, under lock_
};

}  // namespace callwright
