// Converts one recording and stops dead at a named step, so that a test can kill it there: it
// signals the event and waits for its end.
// Usage: convert_hold <wav> <flac|opus> <step> <event name>
// Steps: "write" (part of the new file written), "flush" (the new file flushed, before its check),
// "rename" (checked, before its rename), "renamed" (in place, before the WAV's delete), "deleted"
// (the WAV deleted, before the end).
#include <windows.h>

#include <string>

#include "audio/converter.h"
#include "base/handles.h"

namespace {

using namespace callwright;

class HoldingOutput final : public OutputFile {
 public:
  HoldingOutput(std::unique_ptr<OutputFile> real, const std::wstring& step, void (*hold)())
      : real_(std::move(real)), step_(step), hold_(hold) {}
  bool Write(const void* data, std::size_t size) override {
    const bool written = real_->Write(data, size);
    // Some blocks out, the encoder still working.
    if (step_ == L"write" && real_->Tell() > 8192) {
      real_->Flush();
      hold_();
    }
    return written;
  }
  bool Seek(std::uint64_t offset) override { return real_->Seek(offset); }
  std::uint64_t Tell() override { return real_->Tell(); }
  bool Flush() override {
    const bool flushed = real_->Flush();
    if (step_ == L"flush") hold_();
    return flushed;
  }

 private:
  std::unique_ptr<OutputFile> real_;
  std::wstring step_;
  void (*hold_)();
};

class HoldingFiles final : public FileSystem {
 public:
  HoldingFiles(std::wstring step, void (*hold)()) : step_(std::move(step)), hold_(hold) {}
  std::unique_ptr<InputFile> OpenRead(const std::wstring& path) override { return real_.OpenRead(path); }
  std::unique_ptr<OutputFile> Create(const std::wstring& path) override {
    auto file = real_.Create(path);
    return file ? std::make_unique<HoldingOutput>(std::move(file), step_, hold_) : nullptr;
  }
  bool Rename(const std::wstring& from, const std::wstring& to) override {
    if (step_ == L"rename") hold_();
    const bool renamed = real_.Rename(from, to);
    if (step_ == L"renamed") hold_();
    return renamed;
  }
  bool Remove(const std::wstring& path) override {
    const bool removed = real_.Remove(path);
    if (step_ == L"deleted" && path.ends_with(L".wav")) hold_();
    return removed;
  }
  bool Exists(const std::wstring& path) override { return real_.Exists(path); }
  std::vector<std::wstring> List(const std::wstring& folder) override { return real_.List(folder); }

 private:
  FileSystem& real_ = DiskFileSystem();
  std::wstring step_;
  void (*hold_)();
};

HANDLE g_reached = nullptr;

[[noreturn]] void Hold() {
  ::SetEvent(g_reached);
  for (;;) ::Sleep(INFINITE);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) return 2;
  KeepFormat format = KeepFormat::Wav;
  if (!ParseKeepFormat(argv[2], format) || format == KeepFormat::Wav) return 2;
  const KernelHandle reached(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[4]));
  if (!reached) return 3;
  g_reached = reached.Get();
  HoldingFiles files(argv[3], &Hold);
  const Conversion result = ConvertRecording(files, argv[1], format);
  // Past every step without holding: the step named none.
  return result.converted ? 4 : 5;
}
