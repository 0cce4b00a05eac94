#include "audio/converter.h"

#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>
#include <opusenc.h>
#include <opusfile.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "audio/wav_reader.h"

namespace callwright {
namespace {

constexpr std::size_t kBlockFrames = 4096;
constexpr int kFlacLevel = 5;
constexpr opus_int32 kOpusBitrate = 24000;
constexpr opus_int64 kOpusFrame = 960;  // 20 ms at Opus' 48 kHz

constexpr char kCannotRead[] = "cannot read the recording";
constexpr char kCannotWrite[] = "cannot write the new file";
constexpr char kEncoderFailed[] = "the encoder failed";
constexpr char kMismatch[] = "the new file does not match the recording";
constexpr char kStopped[] = "stopped before the end";

bool Stopped(const std::atomic<bool>* stop) { return stop && stop->load(std::memory_order_relaxed); }

// ---- FLAC ----------------------------------------------------------------------------------------

struct EncoderDeleter {
  void operator()(FLAC__StreamEncoder* e) const { FLAC__stream_encoder_delete(e); }
  void operator()(FLAC__StreamDecoder* d) const { FLAC__stream_decoder_delete(d); }
  void operator()(OggOpusEnc* e) const { ope_encoder_destroy(e); }
  void operator()(OggOpusComments* c) const { ope_comments_destroy(c); }
  void operator()(OggOpusFile* f) const { op_free(f); }
};

FLAC__StreamEncoderWriteStatus FlacWrite(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                         uint32_t, uint32_t, void* out) {
  return static_cast<OutputFile*>(out)->Write(buffer, bytes) ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
                                                               : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}
FLAC__StreamEncoderSeekStatus FlacSeek(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* out) {
  return static_cast<OutputFile*>(out)->Seek(offset) ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
                                                       : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
}
FLAC__StreamEncoderTellStatus FlacTell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* out) {
  *offset = static_cast<OutputFile*>(out)->Tell();
  return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

std::string EncodeFlac(WavReader& wav, OutputFile& out, const std::atomic<bool>* stop) {
  const WavFormat& format = wav.Format();
  std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter> encoder(FLAC__stream_encoder_new());
  if (!encoder) return kEncoderFailed;
  FLAC__StreamEncoder* e = encoder.get();
  // The encoder decodes each frame it makes and compares it with its input.
  if (!FLAC__stream_encoder_set_verify(e, true) || !FLAC__stream_encoder_set_compression_level(e, kFlacLevel) ||
      !FLAC__stream_encoder_set_channels(e, format.channels) ||
      !FLAC__stream_encoder_set_bits_per_sample(e, format.bits_per_sample) ||
      !FLAC__stream_encoder_set_sample_rate(e, format.sample_rate) ||
      !FLAC__stream_encoder_set_total_samples_estimate(e, format.frames) ||
      FLAC__stream_encoder_init_stream(e, FlacWrite, FlacSeek, FlacTell, nullptr, &out) !=
          FLAC__STREAM_ENCODER_INIT_STATUS_OK)
    return kEncoderFailed;
  std::vector<std::int32_t> block(kBlockFrames * format.channels);
  const auto failure = [&]() -> std::string {
    switch (FLAC__stream_encoder_get_state(e)) {
      case FLAC__STREAM_ENCODER_VERIFY_MISMATCH_IN_AUDIO_DATA:
      case FLAC__STREAM_ENCODER_VERIFY_DECODER_ERROR: return kMismatch;
      case FLAC__STREAM_ENCODER_CLIENT_ERROR:
      case FLAC__STREAM_ENCODER_IO_ERROR: return kCannotWrite;
      default: return kEncoderFailed;
    }
  };
  for (std::uint64_t left = format.frames; left > 0;) {
    if (Stopped(stop)) {
      FLAC__stream_encoder_finish(e);
      return kStopped;
    }
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, kBlockFrames));
    if (wav.ReadFrames(block.data(), want) != want) {
      FLAC__stream_encoder_finish(e);
      return kCannotRead;
    }
    if (!FLAC__stream_encoder_process_interleaved(e, block.data(), static_cast<uint32_t>(want))) {
      std::string reason = failure();
      FLAC__stream_encoder_finish(e);
      return reason;
    }
    left -= want;
  }
  if (!FLAC__stream_encoder_finish(e)) return failure();
  return {};
}

// An independent decode of the new file, compared sample by sample with the WAV read again.
struct FlacCheck {
  InputFile* file;
  std::uint64_t length;
  WavReader* wav;
  std::vector<std::int32_t> expected;
  std::uint64_t frames = 0;
  bool mismatch = false;
  bool error = false;
};

FLAC__StreamDecoderReadStatus CheckRead(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* c) {
  auto* check = static_cast<FlacCheck*>(c);
  *bytes = check->file->Read(buffer, *bytes);
  return *bytes == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}
FLAC__StreamDecoderSeekStatus CheckSeek(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* c) {
  return static_cast<FlacCheck*>(c)->file->Seek(offset) ? FLAC__STREAM_DECODER_SEEK_STATUS_OK
                                                        : FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
}
FLAC__StreamDecoderTellStatus CheckTell(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* c) {
  *offset = static_cast<FlacCheck*>(c)->file->Tell();
  return FLAC__STREAM_DECODER_TELL_STATUS_OK;
}
FLAC__StreamDecoderLengthStatus CheckLength(const FLAC__StreamDecoder*, FLAC__uint64* length, void* c) {
  *length = static_cast<FlacCheck*>(c)->length;
  return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
}
FLAC__bool CheckEof(const FLAC__StreamDecoder*, void* c) {
  auto* check = static_cast<FlacCheck*>(c);
  return check->file->Tell() >= check->length;
}
FLAC__StreamDecoderWriteStatus CheckWrite(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                          const FLAC__int32* const buffer[], void* c) {
  auto* check = static_cast<FlacCheck*>(c);
  const WavFormat& format = check->wav->Format();
  const unsigned channels = frame->header.channels;
  const std::size_t count = frame->header.blocksize;
  if (channels != format.channels || frame->header.bits_per_sample != format.bits_per_sample) {
    check->mismatch = true;
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  check->expected.resize(count * channels);
  if (check->wav->ReadFrames(check->expected.data(), count) != count) {
    check->mismatch = true;
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  for (std::size_t i = 0; i < count; ++i)
    for (unsigned ch = 0; ch < channels; ++ch)
      if (buffer[ch][i] != check->expected[i * channels + ch]) {
        check->mismatch = true;
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
      }
  check->frames += count;
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}
void CheckError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* c) {
  static_cast<FlacCheck*>(c)->error = true;
}

std::string VerifyFlac(WavReader& wav, InputFile& flac) {
  if (!wav.Rewind()) return kCannotRead;
  FlacCheck check{&flac, flac.Size(), &wav, {}};
  if (!flac.Seek(0)) return kMismatch;
  std::unique_ptr<FLAC__StreamDecoder, EncoderDeleter> decoder(FLAC__stream_decoder_new());
  if (!decoder) return kMismatch;
  FLAC__StreamDecoder* d = decoder.get();
  FLAC__stream_decoder_set_md5_checking(d, true);
  if (FLAC__stream_decoder_init_stream(d, CheckRead, CheckSeek, CheckTell, CheckLength, CheckEof, CheckWrite,
                                       nullptr, CheckError, &check) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
    return kMismatch;
  const bool decoded = FLAC__stream_decoder_process_until_end_of_stream(d);
  const bool md5_ok = FLAC__stream_decoder_finish(d);
  if (!decoded || !md5_ok || check.mismatch || check.error || check.frames != wav.Format().frames)
    return kMismatch;
  return {};
}

// ---- Opus ----------------------------------------------------------------------------------------

int OpusWrite(void* out, const unsigned char* data, opus_int32 size) {
  return static_cast<OutputFile*>(out)->Write(data, static_cast<std::size_t>(size)) ? 0 : 1;
}
int OpusClose(void*) { return 0; }

std::string EncodeOpus(WavReader& wav, OutputFile& out, const RecordingTags& tags, const std::atomic<bool>* stop) {
  const WavFormat& format = wav.Format();
  std::unique_ptr<OggOpusComments, EncoderDeleter> comments(ope_comments_create());
  if (!comments) return kEncoderFailed;
  if (!tags.partner.empty()) ope_comments_add(comments.get(), "ARTIST", tags.partner.c_str());
  if (!tags.date.empty()) ope_comments_add(comments.get(), "DATE", tags.date.c_str());
  OpusEncCallbacks callbacks{OpusWrite, OpusClose};
  int error = 0;
  std::unique_ptr<OggOpusEnc, EncoderDeleter> encoder(ope_encoder_create_callbacks(
      &callbacks, &out, comments.get(), static_cast<opus_int32>(format.sample_rate),
      static_cast<int>(format.channels), 0, &error));
  if (!encoder || error != OPE_OK) return kEncoderFailed;
  OggOpusEnc* e = encoder.get();
  if (ope_encoder_ctl(e, OPUS_SET_APPLICATION(OPUS_APPLICATION_VOIP)) != OPE_OK ||
      ope_encoder_ctl(e, OPUS_SET_BITRATE(kOpusBitrate)) != OPE_OK || ope_encoder_ctl(e, OPUS_SET_VBR(1)) != OPE_OK ||
      ope_encoder_ctl(e, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE)) != OPE_OK)
    return kEncoderFailed;
  std::vector<std::int32_t> block(kBlockFrames * format.channels);
  std::vector<float> pcm(block.size());
  const float scale = 1.0f / static_cast<float>(1 << (format.bits_per_sample - 1));
  for (std::uint64_t left = format.frames; left > 0;) {
    if (Stopped(stop)) return kStopped;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, kBlockFrames));
    if (wav.ReadFrames(block.data(), want) != want) return kCannotRead;
    for (std::size_t i = 0; i < want * format.channels; ++i) pcm[i] = static_cast<float>(block[i]) * scale;
    const int written = ope_encoder_write_float(e, pcm.data(), static_cast<int>(want));
    if (written != OPE_OK) return written == OPE_WRITE_FAIL ? kCannotWrite : kEncoderFailed;
    left -= want;
  }
  // An empty recording gets one silent sample: libopusenc's drain of a stream that never had any
  // trips its own assertion (seen with 0.2.1), and one sample is far below a frame's length.
  if (format.frames == 0) {
    std::fill(pcm.begin(), pcm.begin() + format.channels, 0.0f);
    const int written = ope_encoder_write_float(e, pcm.data(), 1);
    if (written != OPE_OK) return written == OPE_WRITE_FAIL ? kCannotWrite : kEncoderFailed;
  }
  const int drained = ope_encoder_drain(e);
  if (drained != OPE_OK) return drained == OPE_WRITE_FAIL ? kCannotWrite : kEncoderFailed;
  return {};
}

int OpusRead(void* source, unsigned char* buffer, int bytes) {
  return static_cast<int>(static_cast<InputFile*>(source)->Read(buffer, static_cast<std::size_t>(bytes)));
}
int OpusSeek(void* source, opus_int64 offset, int whence) {
  auto* file = static_cast<InputFile*>(source);
  opus_int64 base = 0;
  if (whence == SEEK_CUR) base = static_cast<opus_int64>(file->Tell());
  if (whence == SEEK_END) base = static_cast<opus_int64>(file->Size());
  if (base + offset < 0) return -1;
  return file->Seek(static_cast<std::uint64_t>(base + offset)) ? 0 : -1;
}
opus_int64 OpusTell(void* source) { return static_cast<opus_int64>(static_cast<InputFile*>(source)->Tell()); }

// Decodes the whole new file; its length must be the WAV's within one Opus frame.
std::string VerifyOpus(const WavFormat& format, InputFile& opus) {
  if (!opus.Seek(0)) return kMismatch;
  const OpusFileCallbacks callbacks{OpusRead, OpusSeek, OpusTell, nullptr};
  int error = 0;
  std::unique_ptr<OggOpusFile, EncoderDeleter> file(op_open_callbacks(&opus, &callbacks, nullptr, 0, &error));
  if (!file || error != 0) return kMismatch;
  const opus_int64 expected =
      static_cast<opus_int64>(format.frames * 48000 / format.sample_rate);
  const opus_int64 total = op_pcm_total(file.get(), -1);
  if (total < 0 || std::llabs(total - expected) > kOpusFrame) return kMismatch;
  std::vector<float> pcm(5760 * 2);
  opus_int64 decoded = 0;
  for (int got; (got = op_read_float(file.get(), pcm.data(), static_cast<int>(pcm.size()), nullptr)) != 0;) {
    if (got < 0) return kMismatch;
    decoded += got;
  }
  if (decoded != total) return kMismatch;
  return {};
}

bool IsDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

RecordingTags TagsFromName(std::wstring_view name) {
  const std::wstring_view file = FileNameOf(name);
  const std::size_t dot = file.rfind(L'.');
  const std::string stem = ToUtf8(file.substr(0, dot));
  RecordingTags tags;
  if (stem.size() < 16 || stem[8] != '_' || stem[15] != '_' || !IsDigits(stem.substr(0, 8)) ||
      !IsDigits(stem.substr(9, 6)))
    return tags;
  tags.partner = stem.substr(16);
  tags.date = stem.substr(4, 4) + "-" + stem.substr(2, 2) + "-" + stem.substr(0, 2) + "T" + stem.substr(9, 2) + ":" +
              stem.substr(11, 2) + ":" + stem.substr(13, 2);
  return tags;
}

std::wstring TemporaryPath(const std::wstring& target) { return target + L".part"; }

Conversion ConvertRecording(FileSystem& files, const std::wstring& wav_path, KeepFormat format,
                            const std::atomic<bool>* stop) {
  Conversion conversion;
  if (format == KeepFormat::Wav) {
    conversion.reason = "no format to convert to";
    return conversion;
  }
  const std::wstring target = WithExtension(wav_path, KeepFormatExtension(format));
  const std::wstring temporary = TemporaryPath(target);

  std::string reason;
  {
    std::unique_ptr<InputFile> wav_file = files.OpenRead(wav_path);
    if (!wav_file) {
      conversion.reason = kCannotRead;
      return conversion;
    }
    WavReader wav(*wav_file);
    if (!wav.Open()) {
      conversion.reason = wav.Error();
      return conversion;
    }
    {
      std::unique_ptr<OutputFile> out = files.Create(temporary);
      if (!out) {
        reason = kCannotWrite;
      } else {
        reason = format == KeepFormat::Flac ? EncodeFlac(wav, *out, stop)
                                            : EncodeOpus(wav, *out, TagsFromName(wav_path), stop);
        if (reason.empty() && !out->Flush()) reason = "cannot flush the new file to disk";
      }
    }
    if (reason.empty()) {
      std::unique_ptr<InputFile> written = files.OpenRead(temporary);
      if (!written) {
        reason = kMismatch;
      } else {
        reason = format == KeepFormat::Flac ? VerifyFlac(wav, *written) : VerifyOpus(wav.Format(), *written);
      }
    }
  }
  if (reason.empty() && !files.Rename(temporary, target)) reason = "cannot rename the new file";
  if (!reason.empty()) {
    files.Remove(temporary);
    conversion.reason = reason;
    return conversion;
  }
  conversion.result = target;
  // The replacement is in place and verified; a WAV that cannot go now goes at the next start.
  if (!files.Remove(wav_path)) {
    conversion.reason = "cannot delete the recording";
    return conversion;
  }
  conversion.converted = true;
  return conversion;
}

std::vector<UnfinishedConversion> CleanUpFolder(FileSystem& files, const std::wstring& folder) {
  std::vector<UnfinishedConversion> unfinished;
  const auto ends_with = [](const std::wstring& text, std::wstring_view end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
  };
  for (const std::wstring& name : files.List(folder)) {
    for (KeepFormat format : {KeepFormat::Flac, KeepFormat::Opus}) {
      const std::wstring target_end = KeepFormatExtension(format);
      std::wstring target = JoinPath(folder, name);
      if (ends_with(name, target_end + L".part")) {
        files.Remove(target);
        target.resize(target.size() - 5);  // ".part"
      } else if (!ends_with(name, target_end)) {
        continue;
      }
      const std::wstring wav = WithExtension(target, L".wav");
      if (files.Exists(wav) && std::find(unfinished.begin(), unfinished.end(), UnfinishedConversion{wav, format}) == unfinished.end())
        unfinished.push_back({wav, format});
    }
  }
  return unfinished;
}

}  // namespace callwright
