#include "toolkit/controls.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "toolkit/text.hpp"

namespace tk {

namespace {

int ToPixels(float value, ScaleMode scale) {
  return scale == ScaleMode::Pixels ? static_cast<int>(std::floor(value + 0.5f)) : TwipsToPixels(value);
}

}  // namespace

void Control::SetBounds(float left, float top, float width, float height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  Invalidate();  // where it was
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Invalidate();  // where it is
}

Rect Control::WindowRect() const {
  Rect r = PixelRect();
  // Containers below the window offset their children by their inner origin.
  for (const Container* c = parent_; c != nullptr && c->Parent() != nullptr; c = c->Parent()) {
    const Rect outer = c->PixelRect();
    const Rect inner = c->InnerRect();
    r = r.Offset(outer.x + inner.x, outer.y + inner.y);
  }
  return r;
}

void Control::Invalidate() const {
  if (form_ != nullptr) form_->Invalidate(WindowRect());
}

void Control::AttachTo(Form* form) {
  form_ = form;
  if (auto* box = dynamic_cast<Container*>(this)) {
    for (Control* child : box->Children()) child->AttachTo(form);
  }
  Invalidate();
}

Rect Control::PixelRect() const {
  const ScaleMode scale = parent_ ? parent_->GetScaleMode() : ScaleMode::Twips;
  return {ToPixels(left_, scale), ToPixels(top_, scale), ToPixels(width_, scale), ToPixels(height_, scale)};
}

void Container::Add(Control& child) {
  child.parent_ = this;
  children_.push_back(&child);
  // A form is the window its children show on; anything else passes on its own.
  auto* form = dynamic_cast<Form*>(this);
  child.AttachTo(form != nullptr ? form : form_);
}

Rect Container::InnerRect() const {
  const Rect r = PixelRect();
  return {0, 0, r.w, r.h};
}

Control* Container::ChildAt(int x, int y) const {
  for (Control* child : children_) {
    if (child->Windowless() || !child->Visible() || !child->Enabled()) continue;
    const Rect r = child->PixelRect();
    if (!r.Contains(x, y)) continue;
    if (auto* box = dynamic_cast<Container*>(child)) {
      const Rect inner = box->InnerRect().Offset(r.x, r.y);
      if (inner.Contains(x, y)) {
        if (Control* deeper = box->ChildAt(x - inner.x, y - inner.y)) return deeper;
      }
    }
    return child;
  }
  return nullptr;
}

void Container::PaintChildren(Surface& target, int inner_x, int inner_y, const Rect& clip) const {
  if (clip.Empty()) return;
  for (const Control* child : children_) {
    if (child->Windowless() && child->Visible()) child->Paint(target, inner_x, inner_y, clip);
  }
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    if (!(*it)->Windowless() && (*it)->Visible()) (*it)->Paint(target, inner_x, inner_y, clip);
  }
}

PictureBox::PictureBox(std::string name) : Container(std::move(name)) {}

Rect PictureBox::InnerRect() const {
  const Rect r = PixelRect();
  return framed_ ? Rect{1, 1, r.w - 2, r.h - 2} : Rect{0, 0, r.w, r.h};
}

void PictureBox::Paint(Surface& target, int origin_x, int origin_y, const Rect& clip) const {
  const Rect r = PixelRect().Offset(origin_x, origin_y);
  const Rect visible = r.Intersect(clip);
  if (visible.Empty()) return;
  target.Fill(visible, ToPixel(BackColor()));
  if (framed_) {
    const Pixel frame = ToPixel(SystemColor::kWindowFrame);
    target.Fill(Rect{r.x, r.y, r.w, 1}.Intersect(visible), frame);
    target.Fill(Rect{r.x, r.y + r.h - 1, r.w, 1}.Intersect(visible), frame);
    target.Fill(Rect{r.x, r.y, 1, r.h}.Intersect(visible), frame);
    target.Fill(Rect{r.x + r.w - 1, r.y, 1, r.h}.Intersect(visible), frame);
  }
  const Rect inner = InnerRect().Offset(r.x, r.y);
  const Rect inner_clip = inner.Intersect(clip);
  target.Blit(picture_, inner.x, inner.y, inner_clip);
  PaintChildren(target, inner.x, inner.y, inner_clip);
}

Label::Label(std::string name) : Control(std::move(name)) {}

void Label::Paint(Surface& target, int origin_x, int origin_y, const Rect& clip) const {
  const Rect r = PixelRect().Offset(origin_x, origin_y);
  const Rect visible = r.Intersect(clip);
  if (visible.Empty()) return;
  Rendered& cached = rendered_;
  if (cached.pixels.Width() != r.w || cached.pixels.Height() != r.h || cached.caption != caption_ ||
      cached.alignment != alignment_ || cached.fore != ForeColor() || cached.back != BackColor()) {
    cached = Rendered{caption_, alignment_, ForeColor(), BackColor(), Surface(r.w, r.h, ToPixel(BackColor()))};
    const int x = alignment_ == Alignment::Center ? (r.w - TextWidth(caption_)) / 2 : 0;
    DrawText(cached.pixels, x, 0, caption_, ToPixel(ForeColor()), cached.pixels.Bounds());
  }
  target.Blit(cached.pixels, r.x, r.y, visible);
}

Form::Form(std::string name) : Container(std::move(name)) {
  SetBackColor(Rgb(0, 0, 0));
  SetForeColor(SystemColor::kBtnText);
}

void Form::SetPicture(Surface picture) {
  picture_ = std::move(picture);
  RebuildBackground();
  canvas_ = background_;
  damage_.AddAll(ClientRect());
}

Rect Form::ClientRect() const {
  const Rect r = PixelRect();
  return {0, 0, r.w, r.h};
}

void Form::RebuildBackground() {
  const Rect client = PixelRect();
  background_ = Surface(client.w, client.h, ToPixel(BackColor()));
  background_.Blit(picture_, 0, 0, background_.Bounds());
}

void Form::Move(float left, float top) {
  SetLeft(left);
  SetTop(top);
}

void Form::Cls() {
  const Rect client = PixelRect();
  if (background_.Width() != client.w || background_.Height() != client.h) {
    RebuildBackground();
    canvas_ = background_;
    damage_.AddAll(ClientRect());
  } else if (!drawn_.Empty()) {
    canvas_.Blit(background_, 0, 0, drawn_);
    Invalidate(drawn_);
  }
  drawn_ = {};
}

void Form::Line(float x1, float y1, float x2, float y2, OleColor colour) {
  const int px1 = TwipsToPixels(x1);
  const int py1 = TwipsToPixels(y1);
  const int px2 = TwipsToPixels(x2);
  const int py2 = TwipsToPixels(y2);
  canvas_.Line(px1, py1, px2, py2, ToPixel(colour));
  // Remember what the line can have touched: its box, cut to the canvas.
  const auto [left, right] = std::minmax(px1, px2);
  const auto [top, bottom] = std::minmax(py1, py2);
  const Rect bounds = canvas_.Bounds();
  const int x0 = std::clamp(left, 0, bounds.w), x1e = std::clamp(right, -1, bounds.w - 1);
  const int y0 = std::clamp(top, 0, bounds.h), y1e = std::clamp(bottom, -1, bounds.h - 1);
  if (x1e < x0 || y1e < y0) return;
  const Rect line{x0, y0, x1e - x0 + 1, y1e - y0 + 1};
  Invalidate(line);
  if (drawn_.Empty()) {
    drawn_ = line;
  } else {
    const int l = std::min(drawn_.x, line.x);
    const int t = std::min(drawn_.y, line.y);
    drawn_ = {l, t, std::max(drawn_.x + drawn_.w, line.x + line.w) - l,
              std::max(drawn_.y + drawn_.h, line.y + line.h) - t};
  }
}

void Form::Paint(Surface& target, int origin_x, int origin_y, const Rect& clip) const {
  target.Blit(canvas_, origin_x, origin_y, clip);
  const Rect client = Rect{0, 0, canvas_.Width(), canvas_.Height()}.Offset(origin_x, origin_y);
  PaintChildren(target, origin_x, origin_y, client.Intersect(clip));
}

void Form::Compose(Surface& frame) const {
  const Rect client = ClientRect();
  if (frame.Width() != client.w || frame.Height() != client.h) frame = Surface(client.w, client.h);
  Paint(frame, 0, 0, frame.Bounds());
}

std::vector<Rect> Form::Repaint(Surface& frame) {
  const Rect client = ClientRect();
  if (frame.Width() != client.w || frame.Height() != client.h) {
    frame = Surface(client.w, client.h);
    damage_.AddAll(client);
  }
  std::vector<Rect> painted = damage_.Take();
  for (const Rect& area : painted) Paint(frame, 0, 0, area);
  return painted;
}

}  // namespace tk
