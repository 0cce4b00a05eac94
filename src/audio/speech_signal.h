#pragma once
// A synthetic voice for demos, tests and benchmarks: phrases of vowel- and hiss-like syllables
// with a wandering pitch, pauses between them and a faint noise floor, so that codecs meet
// something shaped like a call rather than a tone. The same seed gives the same samples.
#include <cstddef>
#include <cstdint>

namespace callwright {

class SpeechSignal {
 public:
  explicit SpeechSignal(std::uint32_t sample_rate, std::uint32_t seed = 1);
  void Fill(std::int16_t* samples, std::size_t count);

 private:
  float Noise();        // -1..1
  void StartSegment();  // picks the next syllable or pause

  double rate_;
  std::uint32_t random_;
  std::uint64_t left_ = 0;   // samples left in the segment
  std::uint64_t length_ = 1;
  int kind_ = 0;             // 0 pause, 1 voiced, 2 hiss
  int syllables_left_ = 0;   // in the phrase
  double pitch_ = 120, phase_ = 0, pitch_drift_ = 0;
  double formant_[3] = {}, gain_ = 0;
  double a1_[3] = {}, a2_[3] = {}, y1_[3] = {}, y2_[3] = {};
  double hiss_state_ = 0;
};

}  // namespace callwright
