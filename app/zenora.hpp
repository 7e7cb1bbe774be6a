#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "assets.hpp"
#include "backend.hpp"
#include "bassmod.hpp"
#include "controls.hpp"
#include "edge_table.hpp"
#include "logo_motion.hpp"
#include "message_loop.hpp"
#include "rnd.hpp"
#include "star_field.hpp"
#include "ticker.hpp"
#include "timer.hpp"
#include "tune.hpp"

namespace zenora {

// The intervals of the form's own timers, in ms (the ticker's are its own).
inline constexpr int kStarsInterval = 20;   // TimerStars: a logo pass and a star step
inline constexpr int kTuneInterval = 1000;  // TimerTune: a second of the music, new spins

// The form's state at one instant, as plain values: everything a capture
// records. Fields carry the names of the form variables and properties.
struct FormState {
  struct TimerState {
    bool Enabled = false;
    int Interval = 0;
  };

  std::int64_t time_ms = 0;  // on the form's clock
  double AngleA = 0, AngleB = 0, AngleC = 0;
  std::int16_t SpinA = 0, SpinB = 0, SpinC = 0;
  std::int16_t EdgeCount = 0;
  std::int16_t InfoIndex = 0, HoldTicks = 0, FadeTicks = 0, FadeInStage = 0, FadeOutStage = 0;
  std::int16_t TuneSeconds = 0, TuneLength = 0;
  std::string MusicFile;
  std::int16_t Dragging = 0;
  float DragX = 0, DragY = 0;
  std::array<float, stars::kStars.size()> star_Left{};
  std::string lblInfos_Caption;
  tk::OleColor lblInfos_ForeColor = 0;
  bool cmdClose_Visible = false;
  float Left = 0, Top = 0;
  TimerState TimerStars, TimerTune, TimerText, TimerFadeIn, TimerFadeOut;
};

// The intro's one window. Controls and form variables carry the names the
// window definition gives them; the handlers wire timers and mouse to the
// subsystems, which own their state.
class ZENOrA {
 public:
  // app_path: the program's folder, where the music lies.
  ZENOrA(tk::Backend& backend, sound::Bassmod& bassmod, const Assets& assets, std::filesystem::path app_path);
  ZENOrA(const ZENOrA&) = delete;
  ZENOrA& operator=(const ZENOrA&) = delete;

  tk::MessageLoop& Loop() { return loop_; }
  const tk::Form& Form() const { return form_; }

  void Form_Initialize();
  void Form_Load();

  // Public methods of the form.
  void ThrowError(std::string_view message);
  void Load() { tune_.Load(); }
  void Play() { tune_.Play(); }

  FormState Snapshot() const;

 private:
  void DefineWindow(const Assets& assets);

  void Form_MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
  void Form_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
  void Form_MouseUp(std::int16_t button, std::int16_t shift, float x, float y);
  void cmdClose_nrm_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
  void cmdClose_Click();
  void TimerStars_Timer();
  void TimerTune_Timer();

  tk::Backend& backend_;
  sound::Bassmod& bassmod_;
  std::filesystem::path app_path_;

  tk::Form form_{"ZENOrA"};
  tk::MessageLoop loop_;

  tk::PictureBox imgStars{"imgStars"};
  stars::StarBoxes star = stars::MakeStarBoxes();
  tk::Label lblInfos{"lblInfos"};
  tk::PictureBox cmdClose{"cmdClose"};
  tk::PictureBox cmdClose_nrm{"cmdClose_nrm"};
  tk::PictureBox imgTexts{"imgTexts"};
  tk::Label Label3{"Label3"};
  tk::Label Label4{"Label4"};
  tk::Timer TimerTune{"TimerTune"};
  tk::Timer TimerFadeOut{"TimerFadeOut"};
  tk::Timer TimerFadeIn{"TimerFadeIn"};
  tk::Timer TimerText{"TimerText"};
  tk::Timer TimerStars{"TimerStars"};

  tk::Rnd rnd_;
  logo::EdgeTable edges_;
  logo::LogoMotion motion_;
  ticker::Ticker ticker_{lblInfos, TimerText, TimerFadeIn, TimerFadeOut};
  sound::Tune tune_{bassmod_, [this](std::string_view message) { ThrowError(message); }};

  // Drag state: Dragging stores true as -1.
  std::int16_t Dragging = 0;
  float DragX = 0;
  float DragY = 0;
};

}  // namespace zenora
