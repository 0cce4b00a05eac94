#pragma once
// A PCM WAV file of speech-like sound written while a call lasts: the header first with empty sizes, then the samples
// as time passes, then the header again with the real sizes.
#include <windows.h>

#include <cstdint>
#include <string>

#include "audio/speech_signal.h"
#include "base/handles.h"

namespace clientsim {

// Mono 16-bit at the rate of a wide-band call.
inline constexpr std::uint32_t kSampleRate = 16000;

class WavRecording {
 public:
  // Opens for writing, shared for reading only; false when the file cannot be made.
  bool Open(const std::wstring& path);
  // Appends the synthetic voice up to this many samples in all.
  bool WriteUpTo(std::uint32_t total_samples);
  // Completes the header and closes the file.
  bool Finish();
  bool IsOpen() const noexcept { return static_cast<bool>(file_); }

 private:
  bool WriteHeader();
  callwright::FileHandle file_;
  std::uint32_t samples_ = 0;
  callwright::SpeechSignal voice_{kSampleRate};
};

}  // namespace clientsim
