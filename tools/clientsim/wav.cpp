#include "wav.h"

#include <cstring>
#include <vector>

namespace clientsim {

namespace {

void Put32(unsigned char* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}
void Put16(unsigned char* at, std::uint16_t value) {
  at[0] = static_cast<unsigned char>(value);
  at[1] = static_cast<unsigned char>(value >> 8);
}

bool WriteAll(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  return ::WriteFile(file, data, size, &written, nullptr) && written == size;
}

}  // namespace

bool WavRecording::Open(const std::wstring& path) {
  // Write access while others may only read: a reader that refuses to share writing is turned
  // away, which is how a recording in progress can be told apart.
  file_.Reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  samples_ = 0;
  return IsOpen() && WriteHeader();
}

bool WavRecording::WriteHeader() {
  const std::uint32_t data_size = samples_ * 2;
  unsigned char header[44];
  std::memcpy(header, "RIFF", 4);
  Put32(header + 4, 36 + data_size);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  Put32(header + 16, 16);
  Put16(header + 20, 1);  // PCM
  Put16(header + 22, 1);  // mono
  Put32(header + 24, kSampleRate);
  Put32(header + 28, kSampleRate * 2);
  Put16(header + 32, 2);
  Put16(header + 34, 16);
  std::memcpy(header + 36, "data", 4);
  Put32(header + 40, data_size);
  LARGE_INTEGER start{};
  return ::SetFilePointerEx(file_.Get(), start, nullptr, FILE_BEGIN) && WriteAll(file_.Get(), header, 44);
}

bool WavRecording::WriteUpTo(std::uint32_t total_samples) {
  if (!IsOpen() || total_samples <= samples_) return IsOpen();
  std::vector<std::int16_t> samples(total_samples - samples_);
  voice_.Fill(samples.data(), samples.size());
  LARGE_INTEGER end{};
  if (!::SetFilePointerEx(file_.Get(), end, nullptr, FILE_END)) return false;
  const DWORD size = static_cast<DWORD>(samples.size() * sizeof(std::int16_t));
  if (!WriteAll(file_.Get(), samples.data(), size)) return false;
  samples_ = total_samples;
  return true;
}

bool WavRecording::Finish() {
  if (!IsOpen()) return false;
  const bool ok = WriteHeader();
  file_.Reset();
  return ok;
}

}  // namespace clientsim
