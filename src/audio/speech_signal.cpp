#include "audio/speech_signal.h"

#include <algorithm>
#include <cmath>

namespace callwright {
namespace {

constexpr double kPi = 3.14159265358979323846;
// First three formants of a, e, i, o, u.
constexpr double kVowels[5][3] = {{730, 1090, 2440}, {530, 1840, 2480}, {270, 2290, 3010},
                                  {570, 840, 2410}, {300, 870, 2240}};

}  // namespace

SpeechSignal::SpeechSignal(std::uint32_t sample_rate, std::uint32_t seed)
    : rate_(sample_rate), random_(seed * 2654435761u + 1) {}

float SpeechSignal::Noise() {
  random_ = random_ * 1664525u + 1013904223u;
  return static_cast<float>(static_cast<std::int32_t>(random_) / 2147483648.0);
}

void SpeechSignal::StartSegment() {
  const auto uniform = [this](double low, double high) { return low + (high - low) * (Noise() * 0.5 + 0.5); };
  if (syllables_left_ == 0) {
    // A pause, then a new phrase of 3 to 14 syllables.
    kind_ = 0;
    length_ = static_cast<std::uint64_t>(uniform(0.25, 1.4) * rate_);
    syllables_left_ = static_cast<int>(uniform(3, 15));
    pitch_ = uniform(95, 190);
  } else {
    --syllables_left_;
    kind_ = Noise() > -0.6f ? 1 : 2;
    length_ = static_cast<std::uint64_t>(uniform(0.09, 0.28) * rate_);
    gain_ = uniform(0.4, 1.0);
    pitch_drift_ = uniform(-40, 40) / static_cast<double>(length_);
    const auto& vowel = kVowels[static_cast<int>(uniform(0, 4.999))];
    for (int f = 0; f < 3; ++f) {
      formant_[f] = std::min(vowel[f] * uniform(0.9, 1.1), rate_ * 0.45);
      const double r = std::exp(-kPi * (60.0 + 40.0 * f) / rate_);
      a1_[f] = 2 * r * std::cos(2 * kPi * formant_[f] / rate_);
      a2_[f] = -r * r;
    }
  }
  left_ = std::max<std::uint64_t>(length_, 1);
}

void SpeechSignal::Fill(std::int16_t* samples, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (left_ == 0) StartSegment();
    const double position = 1.0 - static_cast<double>(left_) / static_cast<double>(length_);
    const double envelope = std::sin(kPi * position);
    --left_;
    double value = 0;
    if (kind_ == 1) {
      pitch_ = std::clamp(pitch_ + pitch_drift_, 80.0, 260.0);
      phase_ += pitch_ / rate_;
      double source = 0;
      if (phase_ >= 1) {
        phase_ -= 1;
        source = 1;  // one glottal pulse per period
      }
      source += 0.02 * Noise();
      for (int f = 0; f < 3; ++f) {
        const double y = a1_[f] * y1_[f] + a2_[f] * y2_[f] + source / (1 + f);
        y2_[f] = y1_[f];
        y1_[f] = y;
        value += y;
      }
      value *= 350.0 * gain_ * envelope;
    } else if (kind_ == 2) {
      // High-passed noise for s- and f-like sounds.
      const double n = Noise();
      value = (n - hiss_state_) * 1400.0 * gain_ * envelope;
      hiss_state_ = n;
    }
    value += 6.0 * Noise();  // the line's own noise
    samples[i] = static_cast<std::int16_t>(std::clamp(value, -32768.0, 32767.0));
  }
}

}  // namespace callwright
