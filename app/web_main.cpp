// ZENOrA_intro in a web page (web/index.html): the intro as on the desktop,
// its window a canvas on the page. The page puts the files the program reads
// (LIGHT.S3M) in its current folder, which stands for the program's folder.
#include <string_view>

#include "controls.hpp"
#include "intro.hpp"
#include "os.hpp"
#include "text.hpp"
#include "web_backend.hpp"

namespace {

constexpr std::string_view kStartLine = "click to start";
constexpr tk::Pixel kStartLineColour = 0xFFFFFF;

const tk::Control* Find(const tk::Container& in, std::string_view name) {
  for (const tk::Control* child : in.Children()) {
    if (child->Name() == name) return child;
    if (const auto* box = dynamic_cast<const tk::Container*>(child)) {
      if (const tk::Control* found = Find(*box, name)) return found;
    }
  }
  return nullptr;
}

// Where the browser starts sound only in a click: the window as designed,
// before its start-up, with the line that asks for the click in the info
// line's place; the start-up runs on that click, so the music and its
// restarts keep time with the picture.
void WaitForClick(zenora::ZENOrA& form, tk::WebBackend& backend) {
  form.Loop().Show();
  tk::Surface frame = form.Loop().Compose();
  if (const tk::Control* line = Find(form.Form(), "lblInfos")) {
    const tk::Rect r = line->ShownRect();
    tk::DrawText(frame, r.x + (r.w - tk::TextWidth(kStartLine)) / 2, r.y, kStartLine, kStartLineColour, r);
  }
  const tk::Rect all = frame.Bounds();
  backend.Present(frame, {&all, 1});
  backend.WaitForStart();
  backend.Present(form.Loop().Compose(), {&all, 1});
}

}  // namespace

int main() {
  tk::WebBackend backend;
  const int status = zenora::RunIntro(
      backend, tk::ProgramFolder(), [](zenora::ZENOrA& form) { return form.Loop().Run(); }, {},
      [&backend](zenora::ZENOrA& form) {
        if (!backend.PrepareSound(sound::kOutputRate)) WaitForClick(form, backend);
      });
  backend.Ended(status);
  return status;
}
