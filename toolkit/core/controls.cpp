#include "controls.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "text.hpp"

namespace tk {

namespace {

int ToPixels(float value, ScaleMode scale) {
  return scale == ScaleMode::Pixels ? static_cast<int>(std::floor(value + 0.5f)) : TwipsToPixels(value);
}

}  // namespace

void Control::SetBounds(float left, float top, float width, float height) {
  // Only what changed is converted: a star step changes one Left 43 times a tick.
  const ScaleMode scale = parent_ ? parent_->GetScaleMode() : ScaleMode::Twips;
  Rect pixels = pixel_rect_;
  if (left != left_) pixels.x = ToPixels(left, scale);
  if (top != top_) pixels.y = ToPixels(top, scale);
  if (width != width_) pixels.w = ToPixels(width, scale);
  if (height != height_) pixels.h = ToPixels(height, scale);
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  // Within the same pixels nothing shows differently: a slow star keeps its
  // pixel for several ticks.
  if (pixels == pixel_rect_) return;
  pixel_rect_ = pixels;
  const Rect was = shown_rect_;
  Locate();
  if (form_ != nullptr && visible_) form_->Invalidate(was, shown_rect_);
}

void Control::Place() {
  const ScaleMode scale = parent_ ? parent_->GetScaleMode() : ScaleMode::Twips;
  pixel_rect_ = {ToPixels(left_, scale), ToPixels(top_, scale), ToPixels(width_, scale), ToPixels(height_, scale)};
  Locate();
}

void Control::Locate() {
  if (parent_ == nullptr) {
    window_rect_ = shown_rect_ = pixel_rect_;
    return;
  }
  window_rect_ = pixel_rect_.Offset(parent_->inner_on_window_.x, parent_->inner_on_window_.y);
  shown_rect_ = window_rect_.Intersect(parent_->inner_shown_);
}

void Control::Invalidate() const {
  if (form_ != nullptr) form_->Invalidate(shown_rect_);
}

void Control::AttachTo(Form* form) {
  form_ = form;
  if (auto* box = dynamic_cast<Container*>(this)) {
    for (Control* child : box->Children()) child->AttachTo(form);
  }
  Invalidate();
}

void Container::Add(Control& child) {
  child.parent_ = this;
  children_.push_back(&child);
  if (children_.size() == 1) LocateInner();
  child.Place();
  // A form is the window its children show on; anything else passes on its own.
  auto* form = dynamic_cast<Form*>(this);
  child.AttachTo(form != nullptr ? form : form_);
}

void Container::SetScaleMode(ScaleMode mode) {
  if (mode == scale_mode_) return;
  scale_mode_ = mode;
  PlaceChildren();
  Invalidate();  // the children lie inside
}

void Container::Locate() {
  Control::Locate();
  // Most picture boxes (the stars) hold nothing: the inner area is kept only
  // while there are children.
  if (!children_.empty()) LocateInner();
}

void Container::LocateInner() {
  // The top of the tree offsets nothing: its children are on its client area.
  const Rect inner = Parent() == nullptr ? Rect{0, 0, PixelRect().w, PixelRect().h}
                                         : InnerRect().Offset(WindowRect().x, WindowRect().y);
  const Rect shown = Parent() == nullptr ? inner : inner.Intersect(ShownRect());
  if (inner == inner_on_window_ && shown == inner_shown_) return;
  inner_on_window_ = inner;
  inner_shown_ = shown;
  PlaceChildren();
}

void Container::PlaceChildren() {
  for (Control* child : children_) child->Place();
}

Rect Container::InnerRect() const {
  const Rect& r = PixelRect();
  return {0, 0, r.w, r.h};
}

Control* Container::ChildAt(int x, int y) const {
  for (Control* child : children_) {
    if (child->Windowless() || !child->Visible() || !child->Enabled()) continue;
    const Rect& r = child->PixelRect();
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

void Container::PaintChildren(Surface& target, std::span<const Rect> damage) const {
  for (const Control* child : children_) {
    if (child->Windowless() && child->Visible()) child->Paint(target, damage);
  }
  std::for_each(children_.rbegin(), children_.rend(), [&](const Control* child) {  // bottom-up
    if (!child->Windowless() && child->Visible()) child->Paint(target, damage);
  });
}

PictureBox::PictureBox(std::string name) : Container(std::move(name)) {}

void PictureBox::SetFramed(bool v) {
  if (v == framed_) return;
  framed_ = v;
  Place();  // the inner area changed
  Invalidate();
}

Rect PictureBox::InnerRect() const {
  const Rect& r = PixelRect();
  return framed_ ? Rect{1, 1, r.w - 2, r.h - 2} : Rect{0, 0, r.w, r.h};
}

void PictureBox::Paint(Surface& target, std::span<const Rect> damage) const {
  const Rect& r = WindowRect();
  const Rect& shown = ShownRect();
  if (shown.Empty()) return;
  const Pixel back = ToPixel(BackColor());
  const Rect inner = PictureBox::InnerRect().Offset(r.x, r.y);
  // A picture that covers the whole box (a star, a close glyph) hides its back colour.
  const bool covered = !framed_ && picture_.Width() >= r.w && picture_.Height() >= r.h;
  bool touched = false;
  for (const Rect& area : damage) {
    const Rect visible = shown.Intersect(area);
    if (visible.Empty()) continue;
    touched = true;
    if (!covered) target.Fill(visible, back);
    if (framed_) {
      const Pixel frame = ToPixel(SystemColor::kWindowFrame);
      target.Fill(Rect{r.x, r.y, r.w, 1}.Intersect(visible), frame);
      target.Fill(Rect{r.x, r.y + r.h - 1, r.w, 1}.Intersect(visible), frame);
      target.Fill(Rect{r.x, r.y, 1, r.h}.Intersect(visible), frame);
      target.Fill(Rect{r.x + r.w - 1, r.y, 1, r.h}.Intersect(visible), frame);
    }
    target.Blit(picture_, inner.x, inner.y, inner.Intersect(visible));
  }
  if (touched && !Children().empty()) PaintChildren(target, damage);
}

Label::Label(std::string name) : Control(std::move(name)) {}

void Label::Render() const {
  Rendered& cached = rendered_;
  const Rect& r = PixelRect();
  if (cached.pixels.Width() == r.w && cached.pixels.Height() == r.h && cached.caption == caption_ &&
      cached.alignment == alignment_ && cached.fore == ForeColor() && cached.back == BackColor()) {
    return;
  }
  // Drawn again into the same pixels: a fade changes the colour every few ticks.
  cached.caption = caption_;
  cached.alignment = alignment_;
  cached.fore = ForeColor();
  cached.back = BackColor();
  if (cached.pixels.Width() == r.w && cached.pixels.Height() == r.h) {
    cached.pixels.Fill(cached.pixels.Bounds(), ToPixel(BackColor()));
  } else {
    cached.pixels = Surface(r.w, r.h, ToPixel(BackColor()));
  }
  const int x = alignment_ == Alignment::Center ? (r.w - TextWidth(caption_)) / 2 : 0;
  DrawText(cached.pixels, x, 0, caption_, ToPixel(ForeColor()), cached.pixels.Bounds());
}

void Label::Paint(Surface& target, std::span<const Rect> damage) const {
  const Rect& r = WindowRect();
  bool rendered = false;
  for (const Rect& area : damage) {
    const Rect visible = ShownRect().Intersect(area);
    if (visible.Empty()) continue;
    if (!rendered) Render();
    rendered = true;
    target.Blit(rendered_.pixels, r.x, r.y, visible);
  }
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

void Form::RebuildBackground() {
  const Rect& client = PixelRect();
  background_ = Surface(client.w, client.h, ToPixel(BackColor()));
  background_.Blit(picture_, 0, 0, background_.Bounds());
}

void Form::Move(float left, float top) {
  SetLeft(left);
  SetTop(top);
}

void Form::Cls() {
  const Rect& client = PixelRect();
  if (background_.Width() != client.w || background_.Height() != client.h) {
    RebuildBackground();
    canvas_ = background_;
    damage_.AddAll(ClientRect());
  } else if (!drawn_.Empty()) {
    canvas_.Blit(background_, 0, 0, drawn_);
    Invalidate(drawn_);  // holds everything drawn since, painted or not
  }
  drawn_ = {};
  drawn_unpainted_ = false;
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
  drawn_ = drawn_.Bounding(Rect{x0, y0, x1e - x0 + 1, y1e - y0 + 1});
  drawn_unpainted_ = true;
}

void Form::Invalidate(const Rect& was, const Rect& now) {
  if (was.y == now.y && was.h == now.h) {
    Invalidate(was.Bounding(now));  // the same bands of rows either way
  } else {
    Invalidate(was);
    Invalidate(now);
  }
}

void Form::Paint(Surface& target, std::span<const Rect> damage) const {
  for (const Rect& area : damage) target.Blit(canvas_, 0, 0, area);
  PaintChildren(target, damage);
}

void Form::Compose(Surface& frame) const {
  const Rect client = ClientRect();
  if (frame.Width() != client.w || frame.Height() != client.h) frame = Surface(client.w, client.h);
  Paint(frame, std::span<const Rect>(&client, 1));
}

std::span<const Rect> Form::Repaint(Surface& frame) {
  const Rect client = ClientRect();
  if (frame.Width() != client.w || frame.Height() != client.h) {
    frame = Surface(client.w, client.h);
    damage_.AddAll(client);
  }
  if (drawn_unpainted_) Invalidate(drawn_);
  drawn_unpainted_ = false;
  const std::span<const Rect> painted = damage_.Take();
  Paint(frame, painted);
  return painted;
}

}  // namespace tk
