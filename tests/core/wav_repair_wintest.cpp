// Repairing recordings a client left unfinished: real files cut at several points, mended on disk.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "core/catalogue_win.h"
#include "core/wav_repair_win.h"
#include "support/file_holder_win.h"
#include "support/files_win.h"
#include "support/temp_dir_win.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// A 16-bit mono 8 kHz recording of `audio` bytes whose header says `data_size` and `riff_size`.
std::string Recording(std::size_t audio, std::uint32_t data_size, std::uint32_t riff_size) {
  std::string bytes = "RIFF";
  const auto put32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(v >> (8 * i)));
  };
  put32(riff_size);
  bytes += "WAVEfmt ";
  put32(16);
  bytes += std::string("\x01\x00\x01\x00", 4);
  put32(8000);
  put32(16000);
  bytes += std::string("\x02\x00\x10\x00", 4);
  bytes += "data";
  put32(data_size);
  for (std::size_t i = 0; i < audio; ++i) bytes.push_back(static_cast<char>(i * 7));
  return bytes;
}

class WavRepairTest : public ::testing::Test {
 protected:
  test::TempDir folder_;
};

TEST_F(WavRepairTest, ARecordingCutAtAnyPointGetsTheSizesOfItsBytes) {
  // Cut points in the audio: none, one byte, odd and even counts, a block past a megabyte.
  const std::size_t cuts[] = {0, 1, 1001, 16000, 3 * 16000 + 7, (1 << 20) + 33};
  for (const std::size_t audio : cuts) {
    for (const std::uint32_t declared : {0u, 0x7FFFFFF0u}) {
      SCOPED_TRACE("audio " + std::to_string(audio) + ", data size " + std::to_string(declared));
      const std::wstring path = folder_.Join(L"05032013_141516_cut.wav");
      const std::string original = Recording(audio, declared, declared == 0 ? 36 : declared + 36);
      ASSERT_TRUE(test::WriteBytes(path, original));
      if (audio == 0 && declared == 0) {
        EXPECT_FALSE(MeasureRecordingFile(path).damaged) << "an empty recording is a sound one";
        EXPECT_EQ(RepairRecordingFile(path).status, FileStatus::Failed);
        EXPECT_EQ(test::ReadBytes(path), original);
        continue;
      }
      const FileOutcome before = MeasureRecordingFile(path);
      ASSERT_EQ(before.status, FileStatus::Done);
      EXPECT_TRUE(before.damaged);
      EXPECT_EQ(before.length_ms, static_cast<std::int64_t>(audio / 2 * 2 * 1000 / 16000));

      EXPECT_EQ(RepairRecordingFile(path).status, FileStatus::Done);
      const std::optional<std::string> mended = test::ReadBytes(path);
      ASSERT_TRUE(mended);
      const std::size_t kept = audio & ~std::size_t{1};
      ASSERT_EQ(mended->size(), 44 + kept) << "an odd trailing byte dropped";
      EXPECT_EQ(Le32(*mended, 4), 36 + kept);
      EXPECT_EQ(Le32(*mended, 40), kept);
      EXPECT_EQ(mended->substr(44), original.substr(44, kept)) << "the audio bytes unchanged";
      EXPECT_EQ(mended->substr(8, 32), original.substr(8, 32)) << "the format unchanged";
      EXPECT_FALSE(fs::exists(path + L".repairing")) << "no copy left";
      const FileOutcome after = MeasureRecordingFile(path);
      EXPECT_FALSE(after.damaged);
      EXPECT_EQ(after.length_ms, before.length_ms);
    }
  }
}

TEST_F(WavRepairTest, BusySoundAndForeignFilesAreNeverTouched) {
  const std::wstring busy = folder_.Join(L"05032013_141516_busy.wav");
  const std::wstring sound = folder_.Join(L"05032013_141516_sound.wav");
  const std::wstring text = folder_.Join(L"05032013_141516_text.wav");
  const std::string busy_bytes = Recording(1000, 0, 36);
  const std::string sound_bytes = Recording(1000, 1000, 1036);
  ASSERT_TRUE(test::WriteBytes(busy, busy_bytes));
  ASSERT_TRUE(test::WriteBytes(sound, sound_bytes));
  ASSERT_TRUE(test::WriteBytes(text, "not a recording at all"));
  {
    test::FileHolder holder(busy);
    ASSERT_TRUE(holder.Held());
    EXPECT_EQ(RepairRecordingFile(busy).status, FileStatus::Busy);
    EXPECT_EQ(holder.Release(), 0u);
  }
  EXPECT_EQ(RepairRecordingFile(sound).status, FileStatus::Failed);
  EXPECT_EQ(RepairRecordingFile(text).status, FileStatus::Failed);
  EXPECT_EQ(RepairRecordingFile(folder_.Join(L"gone.wav")).status, FileStatus::Failed);
  EXPECT_EQ(test::ReadBytes(busy), busy_bytes);
  EXPECT_EQ(test::ReadBytes(sound), sound_bytes);
  for (const auto& entry : fs::directory_iterator(folder_.Path())) {
    EXPECT_NE(entry.path().extension(), L".repairing");
  }
}

}  // namespace
}  // namespace callwright
