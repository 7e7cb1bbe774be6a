#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "colour.hpp"
#include "damage.hpp"
#include "icon.hpp"
#include "surface.hpp"
#include "units.hpp"

namespace tk {

class Container;
class Form;

// Mouse event arguments: buttons (1 left, 2 right, 4 middle), shift state
// (1 shift, 2 ctrl, 4 alt), pointer position in the control's own scale.
using MouseHandler = std::function<void(std::int16_t button, std::int16_t shift, float x, float y)>;

// Anything placed in a container. Geometry is in twips relative to the
// container's inner area.
class Control {
 public:
  explicit Control(std::string name) : name_(std::move(name)) {}
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  Container* Parent() const { return parent_; }

  float Left() const { return left_; }
  float Top() const { return top_; }
  float Width() const { return width_; }
  float Height() const { return height_; }
  void SetLeft(float v) { SetBounds(v, top_, width_, height_); }
  void SetTop(float v) { SetBounds(left_, v, width_, height_); }
  void SetBounds(float left, float top, float width, float height);

  bool Visible() const { return visible_; }
  void SetVisible(bool v) { Change(visible_, v); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  OleColor BackColor() const { return back_colour_; }
  void SetBackColor(OleColor c) { Change(back_colour_, c); }
  OleColor ForeColor() const { return fore_colour_; }
  void SetForeColor(OleColor c) { Change(fore_colour_, c); }

  // The control's rectangle in pixels, relative to its container's inner area.
  // Kept from the last change of geometry, like the two below: painting and
  // hit tests read them far more often than anything moves.
  const Rect& PixelRect() const { return pixel_rect_; }
  // The same on the window's client area.
  const Rect& WindowRect() const { return window_rect_; }
  // The part of the window rectangle that can show: inside the inner area of
  // every container the control is in.
  const Rect& ShownRect() const { return shown_rect_; }

  // Windowless controls are painted by their container below every windowed
  // one and hand their mouse events to it.
  virtual bool Windowless() const { return false; }

  // Paints what of the control lies in the damaged rectangles (window
  // coordinates, not overlapping one another), children included.
  virtual void Paint(Surface& target, std::span<const Rect> damage) const = 0;

  MouseHandler MouseDown;
  MouseHandler MouseMove;
  MouseHandler MouseUp;
  std::function<void()> Click;

 protected:
  // Marks where the control shows as to be painted again.
  void Invalidate() const;
  // Works out the kept rectangles again after the geometry changed, its own
  // or its container's.
  void Place();
  // The same from the pixel rectangle on: where it lies on the window.
  virtual void Locate();
  // Sets a property that changes the look, marking the control if it changed.
  template <typename T>
  void Change(T& property, const T& value) {
    if (property == value) return;
    property = value;
    Invalidate();
  }

 private:
  friend class Container;
  void AttachTo(Form* form);

  std::string name_;
  Container* parent_ = nullptr;
  Form* form_ = nullptr;  // the window it shows on, once it has one
  float left_ = 0;
  float top_ = 0;
  float width_ = 0;
  float height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  OleColor back_colour_ = SystemColor::kWindow;
  OleColor fore_colour_ = SystemColor::kWindowText;
  Rect pixel_rect_;
  Rect window_rect_;
  Rect shown_rect_;
};

// A control that holds others. Children are kept in stacking order, uppermost
// first; the container does not own them.
class Container : public Control {
 public:
  using Control::Control;
  friend class Control;  // places itself in the inner area

  // Appends child below the children added before it.
  void Add(Control& child);
  const std::vector<Control*>& Children() const { return children_; }

  ScaleMode GetScaleMode() const { return scale_mode_; }
  void SetScaleMode(ScaleMode mode);
  void SetAutoRedraw(bool v) { auto_redraw_ = v; }

  // The area inside the frame, in pixels relative to the control's own top-left.
  virtual Rect InnerRect() const;

  // Topmost enabled, visible child under the point (pixels relative to the
  // inner area), searched down to the deepest level; windowless children
  // answer with this container. Null when no child is there.
  Control* ChildAt(int x, int y) const;

 protected:
  // Paints the children: windowless ones first, then windowed ones bottom-up.
  void PaintChildren(Surface& target, std::span<const Rect> damage) const;
  // Places the children again too, when their frame of reference moved.
  void Locate() override;

 private:
  void LocateInner();
  void PlaceChildren();

  std::vector<Control*> children_;
  ScaleMode scale_mode_ = ScaleMode::Twips;
  bool auto_redraw_ = false;
  // The inner area on the window, and the part of it that can show: where
  // the children are placed and cut.
  Rect inner_on_window_;
  Rect inner_shown_;
};

class PictureBox : public Container {
 public:
  explicit PictureBox(std::string name);

  // Single flat frame in the window-frame colour, drawn just inside the rectangle.
  void SetFramed(bool v);
  const Surface& Picture() const { return picture_; }
  void SetPicture(Surface picture) {
    picture_ = std::move(picture);
    Invalidate();
  }

  Rect InnerRect() const override;
  void Paint(Surface& target, std::span<const Rect> damage) const override;

 private:
  bool framed_ = false;
  Surface picture_;
};

enum class Alignment { Left, Center };

// Windowless text on an opaque background, one line, no wrap.
class Label : public Control {
 public:
  explicit Label(std::string name);

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string_view text) {
    if (text == caption_) return;
    caption_.assign(text);  // into the storage it has: the ticker switches texts as long as it runs
    Invalidate();
  }
  void SetAlignment(Alignment a) { Change(alignment_, a); }

  bool Windowless() const override { return true; }
  void Paint(Surface& target, std::span<const Rect> damage) const override;

 private:
  // Brings the rendered text up to date with the caption and colours.
  void Render() const;

  // The label as last painted: text changes far more rarely than frames.
  struct Rendered {
    std::string caption;
    Alignment alignment = Alignment::Left;
    OleColor fore = 0;
    OleColor back = 0;
    Surface pixels;
  };

  std::string caption_;
  Alignment alignment_ = Alignment::Left;
  mutable Rendered rendered_;
};

// The top-level window. Left and Top are screen twips; it has no frame, so its
// client area is its whole rectangle. Run-time drawing goes to a persistent
// surface that Cls restores to the background colour and picture.
class Form : public Container {
 public:
  explicit Form(std::string name);

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string text) { caption_ = std::move(text); }
  const std::vector<IconImage>& Icon() const { return icon_; }
  void SetIcon(std::vector<IconImage> icon) { icon_ = std::move(icon); }

  // Client size in the form's scale (twips).
  float ScaleWidth() const { return Width(); }
  float ScaleHeight() const { return Height(); }

  void SetPicture(Surface picture);
  void Move(float left, float top);

  // Drawing on the persistent surface, coordinates in twips.
  void Cls();
  void Line(float x1, float y1, float x2, float y2, OleColor colour);

  void Paint(Surface& target, std::span<const Rect> damage) const override;
  // The whole window as it shows.
  void Compose(Surface& frame) const;
  // Brings frame up to date with what changed since the last call; returns
  // the rectangles painted, valid until the next call.
  std::span<const Rect> Repaint(Surface& frame);

  // Client area in pixels, at the window's origin.
  Rect ClientRect() const { return {0, 0, PixelRect().w, PixelRect().h}; }
  // Is the client pixel (x, y) on the form's own surface, under no control?
  bool OwnSurfaceAt(int x, int y) const { return ClientRect().Contains(x, y) && ChildAt(x, y) == nullptr; }
  void Invalidate(const Rect& area) { damage_.Add(area, ClientRect()); }
  // A control moved from was to now: both places, as one mark when they
  // share their rows.
  void Invalidate(const Rect& was, const Rect& now);

 private:
  void RebuildBackground();

  std::string caption_;
  std::vector<IconImage> icon_;
  Surface picture_;
  Surface background_;
  Surface canvas_;
  // What was drawn since the last Cls: only that needs restoring.
  Rect drawn_;
  // Lines drawn since the last repaint: marked once, not line by line.
  bool drawn_unpainted_ = false;
  Damage damage_;
};

}  // namespace tk
