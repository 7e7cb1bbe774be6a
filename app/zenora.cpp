#include "zenora.hpp"

#include <cstdio>
#include <utility>

#include "colour.hpp"
#include "errors.hpp"
#include "info_texts.hpp"
#include "os.hpp"
#include "projection.hpp"
#include "star_field.hpp"

namespace zenora {

namespace {

constexpr tk::OleColor kBlack = tk::Rgb(0, 0, 0);
constexpr tk::OleColor kWhite = tk::Rgb(255, 255, 255);

void DefineLabel(tk::Label& label, float left, float top, float width, float height, std::string_view caption,
                 tk::Alignment alignment) {
  label.SetBounds(left, top, width, height);
  label.SetCaption(caption);
  label.SetAlignment(alignment);
  label.SetBackColor(kBlack);
  label.SetForeColor(kWhite);
}

void DefineGlyph(tk::PictureBox& glyph, const tk::Surface& picture) {
  glyph.SetBounds(4560, 120, 135, 135);
  glyph.SetPicture(picture);
}

}  // namespace

ZENOrA::ZENOrA(tk::Backend& backend, sound::Bassmod& bassmod, const Assets& assets, std::filesystem::path app_path)
    : backend_(backend), bassmod_(bassmod), app_path_(std::move(app_path)), loop_(backend, form_) {
  DefineWindow(assets);

  form_.MouseDown = [this](auto b, auto s, float x, float y) { Form_MouseDown(b, s, x, y); };
  form_.MouseMove = [this](auto b, auto s, float x, float y) { Form_MouseMove(b, s, x, y); };
  form_.MouseUp = [this](auto b, auto s, float x, float y) { Form_MouseUp(b, s, x, y); };
  cmdClose_nrm.MouseMove = [this](auto b, auto s, float x, float y) { cmdClose_nrm_MouseMove(b, s, x, y); };
  cmdClose.Click = [this] { cmdClose_Click(); };
  TimerStars.OnTimer = [this] { TimerStars_Timer(); };
  TimerTune.OnTimer = [this] { TimerTune_Timer(); };
  TimerText.OnTimer = [this] { ticker_.TimerText_Timer(); };
  TimerFadeIn.OnTimer = [this] { ticker_.TimerFadeIn_Timer(); };
  TimerFadeOut.OnTimer = [this] { ticker_.TimerFadeOut_Timer(); };
}

// The window as designed: every control, its place and its stacking.
void ZENOrA::DefineWindow(const Assets& assets) {
  form_.SetCaption(":: ZENOrA ::");
  form_.SetBounds(5115, 3975, 4800, 2835);
  form_.SetBackColor(kBlack);
  form_.SetForeColor(tk::SystemColor::kBtnText);
  form_.SetIcon(assets.icon);
  form_.SetPicture(assets.window);

  // Uppermost first.
  form_.Add(imgStars);
  form_.Add(cmdClose);
  form_.Add(cmdClose_nrm);
  form_.Add(imgTexts);

  imgStars.SetBounds(0, 2085, 4815, 525);
  imgStars.SetBackColor(kBlack);
  imgStars.SetFramed(true);
  stars::PlaceStars(star);
  for (std::size_t i = 0; i < star.size(); ++i) {
    star[i].SetPicture(stars::kStars[i].white ? assets.star_white : assets.star_grey);
    imgStars.Add(star[i]);
  }
  imgStars.Add(lblInfos);
  DefineLabel(lblInfos, 240, 150, 4335, 135, "", tk::Alignment::Center);

  DefineGlyph(cmdClose, assets.close_hover);
  cmdClose.SetVisible(false);
  DefineGlyph(cmdClose_nrm, assets.close_normal);

  imgTexts.SetBounds(0, 1920, 4815, 855);
  imgTexts.SetBackColor(kBlack);
  imgTexts.SetFramed(true);
  imgTexts.Add(Label3);
  imgTexts.Add(Label4);
  DefineLabel(Label3, 0, 0, 4815, 135, "--- zenora ------------------------------------------", tk::Alignment::Left);
  DefineLabel(Label4, 0, 690, 4815, 135, "------------------------------------- do vezudizu ---", tk::Alignment::Left);

  for (tk::Timer* timer : {&TimerTune, &TimerFadeOut, &TimerFadeIn, &TimerText, &TimerStars}) {
    loop_.Timers().Add(*timer);
  }
}

void ZENOrA::Form_Initialize() {
  tk::ChangeDirectory(app_path_);
  if (sound::VersionText(bassmod_) != "1.6") {
    ThrowError("BASSMOD version 1.6 was not loaded");
    loop_.End(1);
  }
  if (sound::LoWord(bassmod_.BASSMOD_Init(-1, sound::kOutputRate, 0)) == 0) {
    ThrowError("Can't initialize digital sound system");
    loop_.End(1);
  }
}

void ZENOrA::Form_Load() {
  imgStars.SetAutoRedraw(true);
  form_.SetAutoRedraw(true);

  motion_.SetStartSpins();
  edges_.BuildLogo(-2, -2, -2, 2, 2, -4);

  for (tk::PictureBox& s : star) {
    s.SetScaleMode(tk::ScaleMode::Pixels);
    s.SetAutoRedraw(true);
  }

  tune_.ResetCounters();
  ticker_.Reset();

  TimerFadeIn.SetInterval(ticker::kFadeInterval);
  TimerFadeIn.SetEnabled(false);
  TimerFadeOut.SetInterval(ticker::kFadeInterval);
  TimerFadeOut.SetEnabled(false);
  TimerText.SetInterval(ticker::kLongHold);
  TimerText.SetEnabled(true);
  TimerStars.SetInterval(kStarsInterval);
  TimerStars.SetEnabled(true);
  TimerTune.SetInterval(kTuneInterval);
  TimerTune.SetEnabled(true);

  tune_.SetMusicFile(tk::Utf8(app_path_ / "LIGHT.S3M"));
  Load();
  Play();
}

void ZENOrA::ThrowError(std::string_view message) {
  const std::int32_t code = bassmod_.BASSMOD_ErrorGetCode();
  backend_.MsgBox("Error", sound::ErrorPrompt(message, code), tk::kCritical);
}

void ZENOrA::Form_MouseDown(std::int16_t, std::int16_t, float x, float y) {
  Dragging = -1;
  DragX = x;
  DragY = y;
}

void ZENOrA::Form_MouseMove(std::int16_t, std::int16_t, float x, float y) {
  if (Dragging) {
    // Read afresh on every call: a nested move may have moved the window.
    const float left = form_.Left();
    const float top = form_.Top();
    const float new_top = top + y - DragY;
    const float new_left = left + x - DragX;
    form_.Move(new_left, new_top);
    loop_.DoEvents();
  }
  cmdClose.SetVisible(false);
}

void ZENOrA::Form_MouseUp(std::int16_t, std::int16_t, float, float) { Dragging = 0; }

void ZENOrA::cmdClose_nrm_MouseMove(std::int16_t, std::int16_t, float, float) { cmdClose.SetVisible(true); }

void ZENOrA::cmdClose_Click() {
  try {
    bassmod_.BASSMOD_MusicFree();
  } catch (const tk::RuntimeError&) {
    // closing goes on whatever the library says
  }
  loop_.End(0);
}

void ZENOrA::TimerStars_Timer() {
  logo::DrawModel(form_, edges_, motion_.AngleA(), motion_.AngleB(), motion_.AngleC(), logo::kPerspective,
                  logo::kShiftX, logo::kShiftZ, logo::kShiftY, [this] { loop_.DoEvents(); });
  motion_.AdvanceAngles();
  stars::StarStep(star, form_);
}

void ZENOrA::TimerTune_Timer() {
  tune_.TimerTune_Timer();
  motion_.PickSpins(rnd_);
}

FormState ZENOrA::Snapshot() const {
  FormState state;
#define ZENORA_READ_FIELD(type, name, source) state.name = source;
  ZENORA_FORM_STATE(ZENORA_READ_FIELD)
#undef ZENORA_READ_FIELD
  return state;
}

}  // namespace zenora
