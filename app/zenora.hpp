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

// The form's state at one instant: everything a capture records, each field
// listed once, here, in the order it is written: its type, its name (the
// form variable's or property's) and where the form reads it.
#define ZENORA_FORM_STATE(FIELD)                                                      \
  FIELD(std::int64_t, time_ms, backend_.GetClock().NowMs()) /* on the form's clock */ \
  FIELD(double, AngleA, motion_.AngleA())                                             \
  FIELD(double, AngleB, motion_.AngleB())                                             \
  FIELD(double, AngleC, motion_.AngleC())                                             \
  FIELD(std::int16_t, SpinA, motion_.SpinA())                                         \
  FIELD(std::int16_t, SpinB, motion_.SpinB())                                         \
  FIELD(std::int16_t, SpinC, motion_.SpinC())                                         \
  FIELD(std::int16_t, EdgeCount, edges_.EdgeCount())                                  \
  FIELD(std::int16_t, InfoIndex, ticker_.InfoIndex())                                 \
  FIELD(std::int16_t, HoldTicks, ticker_.HoldTicks())                                 \
  FIELD(std::int16_t, FadeTicks, ticker_.FadeTicks())                                 \
  FIELD(std::int16_t, FadeInStage, ticker_.FadeInStage())                             \
  FIELD(std::int16_t, FadeOutStage, ticker_.FadeOutStage())                           \
  FIELD(std::int16_t, TuneSeconds, tune_.GetTuneSeconds())                            \
  FIELD(std::int16_t, TuneLength, tune_.GetTuneLength())                              \
  FIELD(std::string, MusicFile, tune_.GetMusicFile())                                 \
  FIELD(std::int16_t, Dragging, Dragging)                                             \
  FIELD(float, DragX, DragX)                                                          \
  FIELD(float, DragY, DragY)                                                          \
  FIELD(StarLefts, star_Left, stars::Lefts(star))                                     \
  FIELD(std::string, lblInfos_Caption, lblInfos.Caption())                            \
  FIELD(tk::OleColor, lblInfos_ForeColor, lblInfos.ForeColor())                       \
  FIELD(bool, cmdClose_Visible, cmdClose.Visible())                                   \
  FIELD(float, Left, form_.Left())                                                    \
  FIELD(float, Top, form_.Top())                                                      \
  FIELD(TimerState, TimerStars, TimerState::Of(TimerStars))                           \
  FIELD(TimerState, TimerTune, TimerState::Of(TimerTune))                             \
  FIELD(TimerState, TimerText, TimerState::Of(TimerText))                             \
  FIELD(TimerState, TimerFadeIn, TimerState::Of(TimerFadeIn))                         \
  FIELD(TimerState, TimerFadeOut, TimerState::Of(TimerFadeOut))

struct TimerState {
  bool Enabled = false;
  int Interval = 0;
  static TimerState Of(const tk::Timer& timer) { return {timer.Enabled(), timer.Interval()}; }
};
using StarLefts = std::array<float, stars::kStars.size()>;

// The state as plain values.
struct FormState {
#define ZENORA_DECLARE_FIELD(type, name, source) type name{};
  ZENORA_FORM_STATE(ZENORA_DECLARE_FIELD)
#undef ZENORA_DECLARE_FIELD

  // Calls field(name, value) for each field, in order.
  template <typename Field>
  void Fields(Field&& field) const {
#define ZENORA_VISIT_FIELD(type, name, source) field(#name, name);
    ZENORA_FORM_STATE(ZENORA_VISIT_FIELD)
#undef ZENORA_VISIT_FIELD
  }
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
