#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "toolkit/errors.hpp"
#include "toolkit/headless_backend.hpp"
#include "toolkit/message_loop.hpp"
#include "toolkit/process.hpp"
#include "toolkit/x11_desktop.hpp"

namespace {

using Kind = tk::MouseEvent::Kind;

// A 20 x 20 px form at (100, 50) px with a 5 x 5 px box at (10, 10).
struct Window {
  tk::HeadlessBackend backend;
  tk::Form form{"form"};
  tk::PictureBox box{"box"};
  tk::MessageLoop loop{backend, form};
  std::vector<std::string> log;

  Window() {
    form.SetBounds(1500, 750, 300, 300);
    form.SetPicture(tk::Surface(20, 20));
    form.Add(box);
    box.SetBounds(150, 150, 75, 75);
    auto record = [this](std::string what) {
      return [this, what](std::int16_t button, std::int16_t, float x, float y) {
        log.push_back(what + " " + std::to_string(button) + " " + std::to_string(static_cast<int>(x)) + "," +
                      std::to_string(static_cast<int>(y)));
      };
    };
    form.MouseDown = record("form down");
    form.MouseMove = record("form move");
    form.MouseUp = record("form up");
    box.MouseDown = record("box down");
    box.MouseMove = record("box move");
    box.MouseUp = record("box up");
    box.Click = [this] { log.push_back("box click"); };
  }
  void Send(Kind kind, int x, int y, std::int16_t button) {
    backend.Inject(tk::MouseEvent{kind, x, y, button, 0});
    loop.DoEvents();
  }
};

TEST(MouseRouting, EventsGoToTheControlUnderThePointerInItsOwnScale) {
  Window w;
  w.Send(Kind::Move, 2, 3, 0);
  w.Send(Kind::Move, 11, 12, 0);
  EXPECT_EQ(w.log, (std::vector<std::string>{"form move 0 30,45", "box move 0 15,30"}));
}

TEST(MouseRouting, TheControlPressedKeepsThePointerUntilRelease) {
  Window w;
  w.Send(Kind::Down, 2, 2, 2);     // right button on the form
  w.Send(Kind::Move, 11, 11, 2);   // over the box, still the form's
  w.Send(Kind::Move, -40, 90, 2);  // outside the window, still the form's
  w.Send(Kind::Down, -40, 90, 1);  // a press there is on no control's surface
  w.Send(Kind::Up, -40, 90, 1);
  w.Send(Kind::Up, 11, 11, 2);
  w.Send(Kind::Move, 11, 11, 0);  // released: the box again
  EXPECT_EQ(w.log, (std::vector<std::string>{"form down 2 30,30", "form move 2 165,165", "form move 2 -600,1350",
                                             "form up 1 -600,1350", "form up 2 165,165", "box move 0 15,15"}));
}

TEST(MouseRouting, MovesOutsideTheWindowReachOnlyAControlHoldingThePointer) {
  Window w;
  w.Send(Kind::Move, 25, 5, 0);  // where the pointer left the window
  w.Send(Kind::Move, -1, 5, 0);
  EXPECT_TRUE(w.log.empty());
  w.Send(Kind::Down, 5, 5, 1);
  w.Send(Kind::Move, 25, 5, 1);
  EXPECT_EQ(w.log.back(), "form move 1 375,75");
}

TEST(MouseRouting, AClickIsAPressAndAReleaseOnTheSameControl) {
  Window w;
  w.Send(Kind::Down, 11, 11, 1);
  w.Send(Kind::Up, 12, 12, 1);
  w.Send(Kind::Down, 11, 11, 1);
  w.Send(Kind::Up, 2, 2, 1);  // released elsewhere: no click
  int clicks = 0;
  for (const auto& entry : w.log) clicks += entry == "box click";
  EXPECT_EQ(clicks, 1);
}

TEST(Desktop, ScaleIsGdkScaleElseXftDpiOver96WithinTheScreen) {
  // GDK_SCALE, Xft.dpi ("-": unset), the largest scale that fits the screen; the scale.
  for (const char* line : {"- - 6 1", "2 288 6 2", "0 192 6 2", "1.5 192 6 2", "x - 6 1", "- 191.9 6 1", "- 288 6 3",
                           "4 - 3 3", "- 1e300 2 2", "99999999999 - 0 1", "- -96 6 1", "- nan 6 1"}) {
    std::istringstream in(line);
    std::string gdk, dpi;
    int limit = 0, scale = 0;
    in >> gdk >> dpi >> limit >> scale;
    EXPECT_EQ(tk::ChooseScale(gdk == "-" ? nullptr : gdk.c_str(), dpi == "-" ? nullptr : dpi.c_str(), limit), scale)
        << line;
  }
}

TEST(MessageLoop, VirtualTimeRunsTicksAndPresentsWholeFrames) {
  Window w;
  tk::Timer timer("timer");
  int ticks = 0;
  timer.OnTimer = [&] {
    ++ticks;
    w.form.Line(0, 0, 285, 0, tk::Rgb(255, 255, 255));
  };
  w.loop.Timers().Add(timer);
  timer.SetInterval(20);
  w.loop.Show();
  EXPECT_TRUE(w.backend.Shown());
  EXPECT_EQ(w.backend.WindowX(), 100);
  w.loop.RunUntil(w.backend.Clock(), 60'000);
  EXPECT_EQ(ticks, 3000);
  EXPECT_EQ(w.backend.LastFrame().At(19, 0), 0xFFFFFFu);
}

TEST(MessageLoop, TheWindowFollowsTheFormAndAQuitEndsWithStatusZero) {
  Window w;
  w.loop.Show();
  w.form.Move(3000, -1500);  // off the screen is allowed
  w.loop.DoEvents();
  EXPECT_EQ(w.backend.WindowX(), 200);
  EXPECT_EQ(w.backend.WindowY(), -100);
  w.backend.InjectQuit();
  EXPECT_EQ(w.loop.Run(), 0);
}

// Repainting only what changed must give the frame a full repaint gives.
TEST(MessageLoop, RepaintingTheDamageEqualsPaintingEverything) {
  tk::HeadlessBackend backend;
  tk::Form form("form");
  form.SetBounds(0, 0, 900, 600);  // 60 x 40 px
  form.SetPicture(tk::Surface(60, 30, 0x808080));
  tk::PictureBox strip("strip"), dot("dot"), other("other"), box("box");
  tk::Label text("text");
  form.Add(box);
  form.Add(strip);
  strip.SetBounds(0, 300, 900, 255);
  strip.SetBackColor(tk::Rgb(0, 0, 0));
  strip.SetFramed(true);
  strip.Add(dot);
  strip.Add(text);
  dot.SetBounds(15, 15, 15, 15);
  dot.SetPicture(tk::Surface(1, 1, 0xFFFFFF));
  text.SetBounds(30, 30, 600, 135);
  box.SetBounds(600, 30, 135, 135);
  tk::MessageLoop loop(backend, form);
  loop.Show();

  std::uint32_t seed = 12345;
  const auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(n));
  };
  for (int step = 0; step < 3000; ++step) {
    switch (next(8)) {
      case 0: dot.SetLeft(static_cast<float>(next(1000) - 50)); break;
      case 1: box.SetVisible(!box.Visible()); break;
      case 2: text.SetCaption(std::string(static_cast<std::size_t>(next(12)), 'A' + next(26))); break;
      case 3: text.SetForeColor(tk::Rgb(next(256), 0, 0)); break;
      case 4: form.Cls(); break;
      case 5:
        form.Line(static_cast<float>(next(900)), static_cast<float>(next(600)), static_cast<float>(next(900)),
                  static_cast<float>(next(600)), tk::Rgb(0, 0, 255));
        break;
      case 6: box.SetBounds(static_cast<float>(next(900)), static_cast<float>(next(600)), 135, 135); break;
      default: strip.SetTop(static_cast<float>(300 + next(3) * 15)); break;
    }
    if (next(3) == 0) {
      const tk::Surface& incremental = loop.Compose();
      tk::Surface full;
      form.Compose(full);
      ASSERT_EQ(incremental, full) << "after step " << step;
    }
  }
}

TEST(Runtime, UntrappedErrorsShowTheRuntimeBoxAndEndWithStatusOne) {
  tk::HeadlessBackend backend;
  EXPECT_EQ(tk::RunGuarded(backend, "prog", []() -> int { throw tk::RuntimeError::SubscriptOutOfRange(); }), 1);
  ASSERT_EQ(backend.Boxes().size(), 1u);
  EXPECT_EQ(backend.Boxes()[0].title, "prog");
  EXPECT_EQ(backend.Boxes()[0].prompt, "Run-time error '9':\r\n\r\nSubscript out of range");
  EXPECT_EQ(tk::RunGuarded(backend, "prog", []() -> int { throw tk::ProgramEnd{0}; }), 0);
  EXPECT_EQ(backend.Boxes().size(), 1u);
}

}  // namespace
