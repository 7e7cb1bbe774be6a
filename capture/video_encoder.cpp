// The MP4 encoder of the capture tool, built as a module of its own
// (libzenora_video.so) so that only a video capture loads FFmpeg.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "bassmod.hpp"
#include "video_writer.hpp"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <string>
#include <vector>

namespace zenora {

namespace {

// x264: the picture is mostly still and the codec's error stays far below a
// grey step at any preset, so a quick one; no look-ahead, which costs twice
// the memory and a third more time for a sixth less size.
constexpr const char* kPreset = "veryfast";
constexpr const char* kTune = "zerolatency";
constexpr const char* kQuality = "18";  // constant rate factor; lower is better
constexpr std::int64_t kAudioBitRate = 192'000;
// Black in the video's limited-range luma.
constexpr std::uint8_t kBlackLuma = 16;
constexpr int kAudioRate = static_cast<int>(sound::kOutputRate);
// FFmpeg's buffer between the muxer and the file.
constexpr int kIoBuffer = 64 * 1024;

std::string Reason(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

void Check(int result, const std::string& what) {
  if (result < 0) throw VideoError("cannot " + what + ": " + Reason(result));
}

template <typename T>
T* Made(T* made) {
  if (made == nullptr) throw VideoError("out of memory for the video");
  return made;
}

struct CodecFree {
  void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct FrameFree {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFree {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
struct OutputFree {
  void operator()(AVFormatContext* output) const { avformat_free_context(output); }
};
struct IoFree {
  void operator()(AVIOContext* io) const {
    av_freep(&io->buffer);
    avio_context_free(&io);
  }
};
using IoPtr = std::unique_ptr<AVIOContext, IoFree>;

// The file as FFmpeg reads and writes it: a descriptor the tool opened, and a
// position of its own, so that the muxer's reading back (to move the index
// to the front) and its writing do not move each other.
struct FileAt {
  int fd = -1;
  std::int64_t position = 0;
};

std::int64_t FileSize(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : AVERROR(errno);
}

// Byte is const or not, as this FFmpeg declares its writing callback.
template <typename Byte>
int WriteAt(void* opaque, Byte* data, int size) {
  auto& file = *static_cast<FileAt*>(opaque);
  for (int done = 0; done < size;) {
    const ssize_t written = pwrite(file.fd, data + done, static_cast<std::size_t>(size - done), file.position);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return AVERROR(written < 0 ? errno : ENOSPC);
    done += static_cast<int>(written);
    file.position += written;
  }
  return size;
}

int ReadAt(void* opaque, std::uint8_t* data, int size) {
  auto& file = *static_cast<FileAt*>(opaque);
  ssize_t got = 0;
  do {
    got = pread(file.fd, data, static_cast<std::size_t>(size), file.position);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return AVERROR(errno);
  if (got == 0) return AVERROR_EOF;
  file.position += got;
  return static_cast<int>(got);
}

std::int64_t SeekTo(void* opaque, std::int64_t offset, int whence) {
  auto& file = *static_cast<FileAt*>(opaque);
  switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return FileSize(file.fd);
    case SEEK_SET: break;
    case SEEK_CUR: offset += file.position; break;
    case SEEK_END: {
      const std::int64_t size = FileSize(file.fd);
      if (size < 0) return size;
      offset += size;
      break;
    }
    default: return AVERROR(EINVAL);
  }
  if (offset < 0) return AVERROR(EINVAL);
  return file.position = offset;
}

// An I/O context on file, for reading or for writing.
IoPtr MakeIo(FileAt& file, bool write) {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
  if (buffer == nullptr) return nullptr;
  const decltype(AVIOContext::write_packet) write_at = &WriteAt;
  AVIOContext* io = avio_alloc_context(buffer, kIoBuffer, write ? 1 : 0, &file, write ? nullptr : &ReadAt,
                                       write ? write_at : nullptr, &SeekTo);
  if (io == nullptr) av_free(buffer);
  return IoPtr(io);
}

class Encoder final : public VideoSink {
 public:
  Encoder(int fd, const std::filesystem::path& name, int width, int height, int scale);
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  void AddFrame(const tk::Surface& frame) override;
  void AddAudio(std::span<const std::int16_t> stereo) override;
  void Finish() override;

 private:
  void OpenVideo();
  void OpenAudio();
  void Send(AVCodecContext* codec, AVStream* stream, const AVFrame* frame);
  void SendSound(int count);
  static int OpenToRead(AVFormatContext* output, AVIOContext** io, const char* url, int flags, AVDictionary** options);
  static int CloseRead(AVFormatContext* output, AVIOContext* io);

  std::filesystem::path name_;  // for messages: the file's final name
  int width_;
  int height_;
  int scale_;
  int frame_width_;
  int frame_height_;
  FileAt written_;
  FileAt read_;
  IoPtr io_;
  std::unique_ptr<AVFormatContext, OutputFree> output_;  // after io_, which it writes through
  std::unique_ptr<AVCodecContext, CodecFree> video_;
  std::unique_ptr<AVCodecContext, CodecFree> audio_;
  AVStream* video_stream_ = nullptr;  // owned by output_
  AVStream* audio_stream_ = nullptr;
  std::unique_ptr<SwsContext, ScalerFree> scaler_;
  std::unique_ptr<AVFrame, FrameFree> picture_;
  std::unique_ptr<AVFrame, FrameFree> sound_;
  std::unique_ptr<AVPacket, PacketFree> packet_;
  std::int64_t frames_ = 0;
  std::int64_t samples_ = 0;
  std::vector<float> left_;  // samples short of a whole audio frame
  std::vector<float> right_;
  bool finished_ = false;
};

// The muxer reads back what it wrote to move the index to the front; it
// asks for its file by name, which is only ours to give.
int Encoder::OpenToRead(AVFormatContext* output, AVIOContext** io, const char*, int flags, AVDictionary**) {
  auto& self = *static_cast<Encoder*>(output->opaque);
  if ((flags & AVIO_FLAG_WRITE) != 0) return AVERROR(EPERM);
  self.read_ = FileAt{self.written_.fd, 0};
  *io = MakeIo(self.read_, false).release();
  return *io != nullptr ? 0 : AVERROR(ENOMEM);
}

int Encoder::CloseRead(AVFormatContext*, AVIOContext* io) {
  IoFree()(io);
  return 0;
}

void Encoder::OpenVideo() {
  const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
  if (h264 == nullptr) h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
  if (h264 == nullptr) throw VideoError("this FFmpeg has no H.264 encoder");
  video_.reset(Made(avcodec_alloc_context3(h264)));
  video_->width = frame_width_;
  video_->height = frame_height_;
  video_->time_base = {1, kVideoFps};
  video_->framerate = {kVideoFps, 1};
  video_->pix_fmt = AV_PIX_FMT_YUV420P;
  // Said outright, so that players do not guess from the picture size.
  video_->color_range = AVCOL_RANGE_MPEG;
  video_->colorspace = AVCOL_SPC_BT709;
  video_->color_primaries = AVCOL_PRI_BT709;
  video_->color_trc = AVCOL_TRC_BT709;
  if ((output_->oformat->flags & AVFMT_GLOBALHEADER) != 0) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  // Options of x264; another H.264 encoder goes by its own defaults.
  av_opt_set(video_->priv_data, "preset", kPreset, 0);
  av_opt_set(video_->priv_data, "tune", kTune, 0);
  av_opt_set(video_->priv_data, "crf", kQuality, 0);
  Check(avcodec_open2(video_.get(), h264, nullptr), "open the H.264 encoder");
  video_stream_ = Made(avformat_new_stream(output_.get(), nullptr));
  Check(avcodec_parameters_from_context(video_stream_->codecpar, video_.get()), "describe the video");
  video_stream_->time_base = video_->time_base;
  video_stream_->avg_frame_rate = video_->framerate;

  picture_.reset(Made(av_frame_alloc()));
  picture_->format = video_->pix_fmt;
  picture_->width = frame_width_;
  picture_->height = frame_height_;
  Check(av_frame_get_buffer(picture_.get(), 0), "make a video frame");
  // Each intro pixel a block, sharp: nearest neighbour. Intro colours are
  // full-range RGB; the video gets BT.709 in limited range.
  scaler_.reset(Made(sws_getContext(width_, height_, AV_PIX_FMT_0RGB32, frame_width_, height_ * scale_,
                                    AV_PIX_FMT_YUV420P, SWS_POINT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr)));
  const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
  sws_setColorspaceDetails(scaler_.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
}

void Encoder::OpenAudio() {
  const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (aac == nullptr) throw VideoError("this FFmpeg has no AAC encoder");
  audio_.reset(Made(avcodec_alloc_context3(aac)));
  audio_->sample_fmt = AV_SAMPLE_FMT_FLTP;
  audio_->sample_rate = kAudioRate;
  av_channel_layout_default(&audio_->ch_layout, 2);
  audio_->bit_rate = kAudioBitRate;
  audio_->time_base = {1, kAudioRate};
  if ((output_->oformat->flags & AVFMT_GLOBALHEADER) != 0) audio_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  av_opt_set(audio_->priv_data, "aac_coder", "fast", 0);  // a fifth quicker, and plenty at this rate
  Check(avcodec_open2(audio_.get(), aac, nullptr), "open the AAC encoder");
  // Without a short last frame the sound would outlast the picture.
  if ((aac->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) == 0 || audio_->frame_size <= 0) {
    throw VideoError("the AAC encoder cannot end on a short frame");
  }
  audio_stream_ = Made(avformat_new_stream(output_.get(), nullptr));
  Check(avcodec_parameters_from_context(audio_stream_->codecpar, audio_.get()), "describe the sound");
  audio_stream_->time_base = audio_->time_base;

  sound_.reset(Made(av_frame_alloc()));
  sound_->format = audio_->sample_fmt;
  sound_->sample_rate = kAudioRate;
  sound_->nb_samples = audio_->frame_size;
  Check(av_channel_layout_copy(&sound_->ch_layout, &audio_->ch_layout), "make a sound frame");
  Check(av_frame_get_buffer(sound_.get(), 0), "make a sound frame");
}

Encoder::Encoder(int fd, const std::filesystem::path& name, int width, int height, int scale)
    : name_(name),
      width_(width),
      height_(height),
      scale_(scale),
      frame_width_(width * scale + width * scale % 2),
      frame_height_(height * scale + height * scale % 2),
      written_{fd, 0} {
  if (width <= 0 || height <= 0 || scale < 1 || width * scale > 8192 || height * scale > 8192) {
    throw VideoError("bad video size");
  }
  av_log_set_level(AV_LOG_ERROR);  // FFmpeg's chatter would drown the tool's own lines
  AVFormatContext* made = nullptr;
  Check(avformat_alloc_output_context2(&made, nullptr, "mp4", name.c_str()), "set up an MP4 file");
  output_.reset(made);
  io_ = MakeIo(written_, true);
  output_->pb = Made(io_.get());
  output_->flags |= AVFMT_FLAG_CUSTOM_IO;
  output_->opaque = this;
  output_->io_open = &Encoder::OpenToRead;
  output_->io_close2 = &Encoder::CloseRead;
  OpenVideo();
  OpenAudio();
  packet_.reset(Made(av_packet_alloc()));
  // The index up front, so that the video plays while it is still loading.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "movflags", "+faststart", 0);
  const int header = avformat_write_header(output_.get(), &options);
  av_dict_free(&options);
  Check(header, "write " + name_.string());
}

void Encoder::Send(AVCodecContext* codec, AVStream* stream, const AVFrame* frame) {
  Check(avcodec_send_frame(codec, frame), "encode");
  for (;;) {
    const int received = avcodec_receive_packet(codec, packet_.get());
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
    Check(received, "encode");
    av_packet_rescale_ts(packet_.get(), codec->time_base, stream->time_base);
    packet_->stream_index = stream->index;
    Check(av_interleaved_write_frame(output_.get(), packet_.get()), "write " + name_.string());
  }
}

// The first count pending samples as one audio frame.
void Encoder::SendSound(int count) {
  Check(av_frame_make_writable(sound_.get()), "make a sound frame");
  sound_->nb_samples = count;
  std::memcpy(sound_->data[0], left_.data(), sizeof(float) * static_cast<std::size_t>(count));
  std::memcpy(sound_->data[1], right_.data(), sizeof(float) * static_cast<std::size_t>(count));
  sound_->pts = samples_;
  samples_ += count;
  left_.erase(left_.begin(), left_.begin() + count);
  right_.erase(right_.begin(), right_.begin() + count);
  Send(audio_.get(), audio_stream_, sound_.get());
}

void Encoder::AddFrame(const tk::Surface& frame) {
  if (finished_) throw VideoError("the video is already finished");
  if (frame.Width() != width_ || frame.Height() != height_) throw VideoError("frame size differs from the video's");
  AVFrame& picture = *picture_;
  Check(av_frame_make_writable(&picture), "make a video frame");
  const auto* pixels = reinterpret_cast<const std::uint8_t*>(frame.Pixels().data());
  const int stride = width_ * static_cast<int>(sizeof(tk::Pixel));
  sws_scale(scaler_.get(), &pixels, &stride, 0, height_, picture.data, picture.linesize);
  // The padding: a black row below, a black column to the right.
  for (int y = height_ * scale_; y < frame_height_; ++y) {
    std::memset(picture.data[0] + static_cast<std::ptrdiff_t>(y) * picture.linesize[0], kBlackLuma,
                static_cast<std::size_t>(frame_width_));
  }
  if (frame_width_ > width_ * scale_) {
    for (int y = 0; y < frame_height_; ++y) picture.data[0][y * picture.linesize[0] + frame_width_ - 1] = kBlackLuma;
  }
  picture.pts = frames_++;
  Send(video_.get(), video_stream_, &picture);
}

void Encoder::AddAudio(std::span<const std::int16_t> stereo) {
  if (finished_) throw VideoError("the video is already finished");
  for (std::size_t i = 0; i + 1 < stereo.size(); i += 2) {
    left_.push_back(static_cast<float>(stereo[i]) / 32768.0f);
    right_.push_back(static_cast<float>(stereo[i + 1]) / 32768.0f);
  }
  while (left_.size() >= static_cast<std::size_t>(audio_->frame_size)) SendSound(audio_->frame_size);
}

void Encoder::Finish() {
  if (finished_) throw VideoError("the video is already finished");
  if (frames_ == 0) throw VideoError("a video needs at least one frame");
  if (!left_.empty()) SendSound(static_cast<int>(left_.size()));
  Send(audio_.get(), audio_stream_, nullptr);
  Send(video_.get(), video_stream_, nullptr);
  Check(av_write_trailer(output_.get()), "write " + name_.string());
  avio_flush(io_.get());
  Check(io_->error, "write " + name_.string());
  finished_ = true;
}

}  // namespace

}  // namespace zenora

// The module's one entry, found by name: sink becomes a video being written
// into fd, the file that will be name.
extern "C" __attribute__((visibility("default"))) void ZENOrA_OpenVideo(std::unique_ptr<zenora::VideoSink>& sink,
                                                                        int fd, const std::filesystem::path& name,
                                                                        int width, int height, int scale) {
  sink = std::make_unique<zenora::Encoder>(fd, name, width, height, scale);
}
