#include "capture/video_writer.hpp"

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
struct OutputClose {
  void operator()(AVFormatContext* output) const {
    avio_closep(&output->pb);
    avformat_free_context(output);
  }
};

}  // namespace

struct VideoWriter::Encoder {
  std::filesystem::path path;
  std::filesystem::path part;  // the name it has until it is finished
  int width = 0;
  int height = 0;
  int scale = 1;
  int frame_width = 0;
  int frame_height = 0;
  std::unique_ptr<AVFormatContext, OutputClose> output;
  std::unique_ptr<AVCodecContext, CodecFree> video;
  std::unique_ptr<AVCodecContext, CodecFree> audio;
  AVStream* video_stream = nullptr;  // owned by output
  AVStream* audio_stream = nullptr;
  std::unique_ptr<SwsContext, ScalerFree> scaler;
  std::unique_ptr<AVFrame, FrameFree> picture;
  std::unique_ptr<AVFrame, FrameFree> sound;
  std::unique_ptr<AVPacket, PacketFree> packet;
  std::int64_t frames = 0;
  std::int64_t samples = 0;
  std::vector<float> left;  // samples short of a whole audio frame
  std::vector<float> right;
  bool finished = false;

  ~Encoder() {
    if (finished) return;
    output.reset();
    std::error_code ec;
    std::filesystem::remove(part, ec);
  }

  void Open();
  void OpenVideo();
  void OpenAudio();
  void Send(AVCodecContext* codec, AVStream* stream, const AVFrame* frame);
  void SendSound(int count);
};

void VideoWriter::Encoder::OpenVideo() {
  const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
  if (h264 == nullptr) h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
  if (h264 == nullptr) throw VideoError("this FFmpeg has no H.264 encoder");
  video.reset(Made(avcodec_alloc_context3(h264)));
  video->width = frame_width;
  video->height = frame_height;
  video->time_base = {1, kVideoFps};
  video->framerate = {kVideoFps, 1};
  video->pix_fmt = AV_PIX_FMT_YUV420P;
  // Said outright, so that players do not guess from the picture size.
  video->color_range = AVCOL_RANGE_MPEG;
  video->colorspace = AVCOL_SPC_BT709;
  video->color_primaries = AVCOL_PRI_BT709;
  video->color_trc = AVCOL_TRC_BT709;
  if ((output->oformat->flags & AVFMT_GLOBALHEADER) != 0) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  // Options of x264; another H.264 encoder goes by its own defaults.
  av_opt_set(video->priv_data, "preset", kPreset, 0);
  av_opt_set(video->priv_data, "tune", kTune, 0);
  av_opt_set(video->priv_data, "crf", kQuality, 0);
  Check(avcodec_open2(video.get(), h264, nullptr), "open the H.264 encoder");
  video_stream = Made(avformat_new_stream(output.get(), nullptr));
  Check(avcodec_parameters_from_context(video_stream->codecpar, video.get()), "describe the video");
  video_stream->time_base = video->time_base;
  video_stream->avg_frame_rate = video->framerate;

  picture.reset(Made(av_frame_alloc()));
  picture->format = video->pix_fmt;
  picture->width = frame_width;
  picture->height = frame_height;
  Check(av_frame_get_buffer(picture.get(), 0), "make a video frame");
  // Each intro pixel a block, sharp: nearest neighbour. Intro colours are
  // full-range RGB; the video gets BT.709 in limited range.
  scaler.reset(Made(sws_getContext(width, height, AV_PIX_FMT_0RGB32, frame_width, height * scale, AV_PIX_FMT_YUV420P,
                                   SWS_POINT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr)));
  const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
  sws_setColorspaceDetails(scaler.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
}

void VideoWriter::Encoder::OpenAudio() {
  const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (aac == nullptr) throw VideoError("this FFmpeg has no AAC encoder");
  audio.reset(Made(avcodec_alloc_context3(aac)));
  audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
  audio->sample_rate = kAudioRate;
  av_channel_layout_default(&audio->ch_layout, 2);
  audio->bit_rate = kAudioBitRate;
  audio->time_base = {1, kAudioRate};
  if ((output->oformat->flags & AVFMT_GLOBALHEADER) != 0) audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  av_opt_set(audio->priv_data, "aac_coder", "fast", 0);  // a fifth quicker, and plenty at this rate
  Check(avcodec_open2(audio.get(), aac, nullptr), "open the AAC encoder");
  // Without a short last frame the sound would outlast the picture.
  if ((aac->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) == 0 || audio->frame_size <= 0) {
    throw VideoError("the AAC encoder cannot end on a short frame");
  }
  audio_stream = Made(avformat_new_stream(output.get(), nullptr));
  Check(avcodec_parameters_from_context(audio_stream->codecpar, audio.get()), "describe the sound");
  audio_stream->time_base = audio->time_base;

  sound.reset(Made(av_frame_alloc()));
  sound->format = audio->sample_fmt;
  sound->sample_rate = kAudioRate;
  sound->nb_samples = audio->frame_size;
  Check(av_channel_layout_copy(&sound->ch_layout, &audio->ch_layout), "make a sound frame");
  Check(av_frame_get_buffer(sound.get(), 0), "make a sound frame");
}

void VideoWriter::Encoder::Open() {
  if (width <= 0 || height <= 0 || scale < 1 || width * scale > 8192 || height * scale > 8192) {
    throw VideoError("bad video size");
  }
  frame_width = width * scale + width * scale % 2;
  frame_height = height * scale + height * scale % 2;
  part = path;
  part += ".part";
  av_log_set_level(AV_LOG_ERROR);  // FFmpeg's chatter would drown the tool's own lines
  AVFormatContext* made = nullptr;
  Check(avformat_alloc_output_context2(&made, nullptr, "mp4", part.c_str()), "set up an MP4 file");
  output.reset(made);
  OpenVideo();
  OpenAudio();
  packet.reset(Made(av_packet_alloc()));
  Check(avio_open(&output->pb, part.c_str(), AVIO_FLAG_WRITE), "write " + part.string());
  // The index up front, so that the video plays while it is still loading.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "movflags", "+faststart", 0);
  const int header = avformat_write_header(output.get(), &options);
  av_dict_free(&options);
  Check(header, "write " + part.string());
}

void VideoWriter::Encoder::Send(AVCodecContext* codec, AVStream* stream, const AVFrame* frame) {
  Check(avcodec_send_frame(codec, frame), "encode");
  for (;;) {
    const int received = avcodec_receive_packet(codec, packet.get());
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
    Check(received, "encode");
    av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
    packet->stream_index = stream->index;
    Check(av_interleaved_write_frame(output.get(), packet.get()), "write " + part.string());
  }
}

// The first count pending samples as one audio frame.
void VideoWriter::Encoder::SendSound(int count) {
  Check(av_frame_make_writable(sound.get()), "make a sound frame");
  sound->nb_samples = count;
  std::memcpy(sound->data[0], left.data(), sizeof(float) * static_cast<std::size_t>(count));
  std::memcpy(sound->data[1], right.data(), sizeof(float) * static_cast<std::size_t>(count));
  sound->pts = samples;
  samples += count;
  left.erase(left.begin(), left.begin() + count);
  right.erase(right.begin(), right.begin() + count);
  Send(audio.get(), audio_stream, sound.get());
}

VideoWriter::VideoWriter(const std::filesystem::path& path, int width, int height, int scale)
    : encoder_(std::make_unique<Encoder>()) {
  encoder_->path = path;
  encoder_->width = width;
  encoder_->height = height;
  encoder_->scale = scale;
  encoder_->Open();
}

VideoWriter::~VideoWriter() = default;

int VideoWriter::Width() const { return encoder_->frame_width; }
int VideoWriter::Height() const { return encoder_->frame_height; }

void VideoWriter::AddFrame(const tk::Surface& frame) {
  Encoder& e = *encoder_;
  if (e.finished) throw VideoError("the video is already finished");
  if (frame.Width() != e.width || frame.Height() != e.height) throw VideoError("frame size differs from the video's");
  AVFrame& picture = *e.picture;
  Check(av_frame_make_writable(&picture), "make a video frame");
  const auto* pixels = reinterpret_cast<const std::uint8_t*>(frame.Pixels().data());
  const int stride = e.width * static_cast<int>(sizeof(tk::Pixel));
  sws_scale(e.scaler.get(), &pixels, &stride, 0, e.height, picture.data, picture.linesize);
  // The padding: a black row below, a black column to the right.
  for (int y = e.height * e.scale; y < e.frame_height; ++y) {
    std::memset(picture.data[0] + static_cast<std::ptrdiff_t>(y) * picture.linesize[0], kBlackLuma,
                static_cast<std::size_t>(e.frame_width));
  }
  if (e.frame_width > e.width * e.scale) {
    for (int y = 0; y < e.frame_height; ++y) picture.data[0][y * picture.linesize[0] + e.frame_width - 1] = kBlackLuma;
  }
  picture.pts = e.frames++;
  e.Send(e.video.get(), e.video_stream, &picture);
}

void VideoWriter::AddAudio(std::span<const std::int16_t> stereo) {
  Encoder& e = *encoder_;
  if (e.finished) throw VideoError("the video is already finished");
  for (std::size_t i = 0; i + 1 < stereo.size(); i += 2) {
    e.left.push_back(static_cast<float>(stereo[i]) / 32768.0f);
    e.right.push_back(static_cast<float>(stereo[i + 1]) / 32768.0f);
  }
  while (e.left.size() >= static_cast<std::size_t>(e.audio->frame_size)) e.SendSound(e.audio->frame_size);
}

void VideoWriter::Finish() {
  Encoder& e = *encoder_;
  if (e.finished) throw VideoError("the video is already finished");
  if (e.frames == 0) throw VideoError("a video needs at least one frame");
  if (!e.left.empty()) e.SendSound(static_cast<int>(e.left.size()));
  e.Send(e.audio.get(), e.audio_stream, nullptr);
  e.Send(e.video.get(), e.video_stream, nullptr);
  Check(av_write_trailer(e.output.get()), "finish " + e.part.string());
  Check(avio_closep(&e.output->pb), "finish " + e.part.string());
  std::error_code ec;
  std::filesystem::rename(e.part, e.path, ec);
  if (ec) throw VideoError("cannot name " + e.path.string() + ": " + ec.message());
  e.finished = true;
}

}  // namespace zenora
