// ZENOrA_capture: renders the intro without a display on a virtual clock and
// writes chosen frames as PNG, each with a JSON dump of the state, and on
// request the opening seconds as an animated GIF and as an MP4 video with the
// music.
#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture_options.hpp"
#include "frame_files.hpp"
#include "gif_writer.hpp"
#include "headless_backend.hpp"
#include "interrupt.hpp"
#include "intro.hpp"
#include "music_track.hpp"
#include "os.hpp"
#include "progress.hpp"
#include "runtime.hpp"
#include "video_writer.hpp"

namespace {

constexpr int kGifDelayCs = zenora::kMovieFrameMs / 10;
// The clock moves at most this far at a time, so that a signal is seen at
// once even on the way to a far --at.
constexpr std::int64_t kLongestStepMs = 10'000;

// A signal ended the capture.
struct Interrupted {
  int signal = 0;
};

class Capture {
 public:
  Capture(zenora::ZENOrA& form, tk::HeadlessBackend& backend, const zenora::CaptureOptions& options,
          zenora::MusicTrack* music)
      : form_(form),
        backend_(backend),
        options_(options),
        music_(music),
        gif_end_(std::int64_t{options.gif_seconds} * 1000),
        video_end_(std::int64_t{options.video_seconds} * 1000) {}

  int Run();

 private:
  void RunTo(std::int64_t ms);
  void FinishVideo();
  void FinishGif() {
    gif_->Finish();
    gif_.reset();
  }

  zenora::ZENOrA& form_;
  tk::HeadlessBackend& backend_;
  const zenora::CaptureOptions& options_;
  zenora::MusicTrack* music_;  // with the video only
  std::int64_t gif_end_;
  std::int64_t video_end_;
  std::optional<zenora::GifWriter> gif_;
  std::optional<zenora::VideoWriter> video_;
  std::optional<zenora::Progress> progress_;
};

// The intro's clock on to ms. With the video, the music is decoded up to
// each instant at which handlers are due before they run, so every call the
// form makes into the library falls on its exact sample.
void Capture::RunTo(std::int64_t ms) {
  tk::MessageLoop& loop = form_.Loop();
  tk::VirtualClock& clock = backend_.Clock();
  do {
    if (const int signal = zenora::InterruptSignal()) throw Interrupted{signal};
    const std::int64_t step = std::min(ms, clock.NowMs() + kLongestStepMs);
    if (video_ && clock.NowMs() < video_end_) {
      const auto sink = [this](std::span<const std::int16_t> samples) { video_->AddAudio(samples); };
      for (auto next = loop.Timers().NextDue(); next && *next < std::min(step, video_end_);
           next = loop.Timers().NextDue()) {
        music_->DecodeTo(*next, sink);
        loop.RunUntil(clock, *next);
      }
      music_->DecodeTo(std::min(step, video_end_), sink);
    }
    loop.RunUntil(clock, step);
    progress_->Update(step);
  } while (clock.NowMs() < ms);
}

// The video ends with the music up to its last instant.
void Capture::FinishVideo() {
  RunTo(video_end_);
  video_->Finish();
  video_.reset();
}

int Capture::Run() {
  const std::vector<std::int64_t> timeline = zenora::CaptureTimeline(options_);
  progress_.emplace(std::cerr, ::isatty(STDERR_FILENO) != 0, std::max({timeline.back(), gif_end_, video_end_}));
  // The movies' pictures are the window's client area.
  const tk::Rect window = form_.Form().PixelRect();
  try {
    if (video_end_ > 0) {
      video_.emplace(tk::ProgramFolder(), options_.out / "intro.mp4", window.w, window.h, options_.scale);
    }
    if (gif_end_ > 0) gif_.emplace(options_.out / "intro.gif", window.w, window.h, kGifDelayCs);
    for (const std::int64_t ms : timeline) {
      // Each movie is finished as soon as it is whole, before any later --at.
      if (video_ && ms >= video_end_) FinishVideo();
      if (gif_ && ms >= gif_end_) FinishGif();
      RunTo(ms);
      const bool frame = ms % zenora::kMovieFrameMs == 0;
      if (gif_ && frame) gif_->AddFrame(backend_.LastFrame());
      if (video_ && frame) video_->AddFrame(backend_.LastFrame());
      if (std::binary_search(options_.at_ms.begin(), options_.at_ms.end(), ms)) {
        zenora::SaveFrame(options_.out, ms, backend_.LastFrame(), form_.Snapshot());
      }
    }
    if (video_) FinishVideo();
    if (gif_) FinishGif();
  } catch (const zenora::CaptureError& e) {
    progress_->Finish(false);
    std::cerr << "ZENOrA_capture: " << e.what() << "\n";
    return 1;
  } catch (const Interrupted& stop) {
    progress_->Finish(false);
    const bool unfinished = gif_ || video_;
    std::cerr << "ZENOrA_capture: stopped by " << zenora::InterruptName(stop.signal)
              << (unfinished ? "; the unfinished GIF or video is not kept" : "") << "\n";
    return 128 + stop.signal;
  }
  progress_->Finish(true);
  return 0;
}

}  // namespace

int main(int argc, char** argv) try {
  if (!tk::OpenStandardDescriptors()) return 1;
  // SDL would turn these signals into quit events, which nothing here reads.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  zenora::CatchInterrupts();

  auto options = zenora::ParseCaptureOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!options) {
    std::cerr << zenora::kCaptureUsage << "\n";
    return 2;
  }
  std::error_code ec;
  // The intro makes its own folder the current one: fix where --out points first.
  options->out = std::filesystem::absolute(options->out, ec);
  if (!ec) std::filesystem::create_directories(options->out, ec);
  if (ec) {
    std::cerr << "ZENOrA_capture: cannot create " << options->out << ": " << ec.message() << "\n";
    return 1;
  }
  // Nothing to hear without a display: the library opens no output at all,
  // and only the video's sound track pulls the music (decoded).
  tk::HeadlessBackend backend(&std::cerr);
  std::optional<zenora::MusicTrack> music;
  return zenora::RunIntro(
      backend, tk::ProgramFolder(),
      [&](zenora::ZENOrA& form) {
        return Capture(form, backend, *options, options->video_seconds > 0 ? &*music : nullptr).Run();
      },
      [&](sound::Bassmod& library) { music.emplace(library); });
} catch (...) {  // outside the intro: its own errors end in RunIntro
  return tk::ReportUncaught("ZENOrA_capture");
}
