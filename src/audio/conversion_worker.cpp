#include "audio/conversion_worker.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace callwright {
namespace {

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// File names on Windows ignore letter case: one recording is not queued twice under two spellings.
bool SamePath(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return AsciiUpper(x) == AsciiUpper(y); });
}

}  // namespace

ConversionWorker::ConversionWorker(ConversionServices services) : services_(std::move(services)) {}

void ConversionWorker::StartOnce() {
  // At the first job: a program's start makes its worker without giving it anything to do yet.
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

ConversionWorker::~ConversionWorker() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

bool ConversionWorker::Queued(const std::wstring& wav) const {
  if (busy_ && SamePath(current_, wav)) return true;
  return std::any_of(queue_.begin(), queue_.end(),
                     [&](const Job& job) { return !job.clean_up && SamePath(job.path, wav); });
}

bool ConversionWorker::Add(std::wstring wav, KeepFormat format) {
  if (format == KeepFormat::Wav) return false;
  {
    const std::lock_guard guard(lock_);
    if (stop_ || ended_ || Queued(wav)) return false;
    queue_.push_back({std::move(wav), format});
    StartOnce();
  }
  changed_.notify_all();
  return true;
}

void ConversionWorker::CleanUp(std::wstring folder, bool convert_unfinished) {
  {
    const std::lock_guard guard(lock_);
    if (stop_ || ended_) return;
    queue_.push_back({std::move(folder), KeepFormat::Wav, true, convert_unfinished});
    StartOnce();
  }
  changed_.notify_all();
}

std::vector<std::wstring> ConversionWorker::Pending() const {
  const std::lock_guard guard(lock_);
  std::vector<std::wstring> pending;
  if (busy_ && !current_.empty()) pending.push_back(current_);
  for (const Job& job : queue_)
    if (!job.clean_up) pending.push_back(job.path);
  return pending;
}

std::vector<ConversionResult> ConversionWorker::TakeResults() {
  const std::lock_guard guard(lock_);
  return std::exchange(results_, {});
}

void ConversionWorker::Stop() noexcept {
  {
    const std::lock_guard guard(lock_);
    stop_ = true;
    queue_.clear();
  }
  changed_.notify_all();
}

bool ConversionWorker::WaitIdle(std::chrono::milliseconds timeout) {
  std::unique_lock guard(lock_);
  return changed_.wait_for(guard, timeout, [&] { return ended_ || (!busy_ && queue_.empty()); });
}

bool ConversionWorker::WaitEnded(std::chrono::milliseconds timeout) {
  std::unique_lock guard(lock_);
  return changed_.wait_for(guard, timeout, [&] { return ended_ || !thread_.joinable(); });
}

void ConversionWorker::Deliver(ConversionResult result) {
  bool first = false;
  {
    const std::lock_guard guard(lock_);
    first = results_.empty();
    results_.push_back(std::move(result));
  }
  if (first && services_.wake) services_.wake();
}

void ConversionWorker::Run() {
  if (services_.thread_start) services_.thread_start();
  for (;;) {
    Job job;
    {
      std::unique_lock guard(lock_);
      busy_ = false;
      current_.clear();
      changed_.notify_all();
      changed_.wait(guard, [&] { return stop_ || !queue_.empty(); });
      if (stop_) break;
      job = std::move(queue_.front());
      queue_.pop_front();
      busy_ = true;
      if (!job.clean_up) current_ = job.path;
    }
    if (job.clean_up) {
      std::vector<UnfinishedConversion> unfinished;
      try {
        if (services_.clean_up) unfinished = services_.clean_up(job.path);
      } catch (const std::exception&) {
        unfinished.clear();  // nothing cleaned up: the next start tries again
      }
      bool queued = false;
      if (job.convert_unfinished)
        for (UnfinishedConversion& work : unfinished) queued = Add(std::move(work.wav), work.format) || queued;
      // The owner shows what is now pending.
      if (queued && services_.wake) services_.wake();
      continue;
    }
    ConversionResult result{job.path, job.format, {}};
    try {
      result.conversion = services_.convert(job.path, job.format, stop_);
    } catch (const std::exception&) {
      result.conversion.reason = "out of memory";
    }
    // A conversion cut short by the end of the program is finished by the next start.
    if (stop_ && !result.conversion.converted && result.conversion.result.empty()) break;
    Deliver(std::move(result));
  }
  const std::lock_guard guard(lock_);
  busy_ = false;
  current_.clear();
  ended_ = true;
  changed_.notify_all();
}

}  // namespace callwright
