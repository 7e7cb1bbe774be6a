// ZENOrA_intro in a web page (web/index.html): the intro as on the desktop,
// its window a canvas on the page. The page puts the files the program reads
// (LIGHT.S3M) in its current folder, which stands for the program's folder.
#include <string_view>

#include "controls.hpp"
#include "intro.hpp"
#include "os.hpp"
#include "web_backend.hpp"

namespace {

constexpr std::string_view kStartLine = "click or press a key to start";

const tk::Control* Find(const tk::Container& in, std::string_view name) {
  for (const tk::Control* child : in.Children()) {
    if (child->Name() == name) return child;
    if (const auto* box = dynamic_cast<const tk::Container*>(child)) {
      if (const tk::Control* found = Find(*box, name)) return found;
    }
  }
  return nullptr;
}

// Where the browser starts sound only in a click or a key press: the window
// as designed, before its start-up, with a line that asks for one in the info
// line's place. The window is alive meanwhile (it drags, its glyph greys and
// closes it; no timer runs before the start-up), and the start-up runs once
// sound may start, so the music and its restarts keep time with the picture.
void WaitForStart(zenora::ZENOrA& form, tk::WebBackend& backend) {
  if (const tk::Control* line = Find(form.Form(), "lblInfos")) backend.PromptStart(kStartLine, line->ShownRect());
  form.Loop().Show();
  while (!backend.Started()) backend.WaitEvent(form.Loop().Step());
}

}  // namespace

int main() {
  tk::WebBackend backend;
  const int status = zenora::RunIntro(
      backend, tk::ProgramFolder(), [](zenora::ZENOrA& form) { return form.Loop().Run(); }, {},
      [&backend](zenora::ZENOrA& form) {
        if (!backend.PrepareSound(sound::kOutputRate)) WaitForStart(form, backend);
      });
  backend.Ended(status);
  return status;
}
