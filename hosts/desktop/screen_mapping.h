// Where the tablet's screen sits in the desktop window, and how the
// window's fingers and mouse become touches on it.
//
// Three coordinate spaces meet here: screen points (the application's,
// 768 × 1024, y down), window units (what SDL reports for the mouse) and
// drawable pixels (what GL draws into; more than window units on a
// high-density display). SDL's finger events are normalised 0..1 over the
// window, y down.
#pragma once

#include <cstdint>
#include <vector>

#include "kit/geometry.h"
#include "kit/touch.h"

namespace desktop {

inline constexpr float kScreenWidth = 768;
inline constexpr float kScreenHeight = 1024;

// The screen's rectangle in drawable pixels, as large as fits and centred,
// in whole pixels from the drawable's top-left corner. Empty when the
// drawable is (a minimised window).
struct Letterbox {
  float pixelsPerPoint = 0;
  int x = 0, y = 0, width = 0, height = 0;

  bool isEmpty() const { return width <= 0 || height <= 0; }
  friend bool operator==(const Letterbox&, const Letterbox&) = default;
};

Letterbox fitScreen(int drawableWidth, int drawableHeight);

struct WindowGeometry {
  int windowWidth = static_cast<int>(kScreenWidth);  // window units
  int windowHeight = static_cast<int>(kScreenHeight);
  int drawableWidth = static_cast<int>(kScreenWidth);  // pixels
  int drawableHeight = static_cast<int>(kScreenHeight);
};

// The point opposite p through the screen's centre: the mouse's second
// finger, for twisting and pinching with one hand.
kit::Point mirroredPoint(kit::Point p);

// Turns finger and mouse events into touches and hands each change to a
// sink (the kit's touch delivery, kit::TouchDispatcher, in the application). A finger or a press
// that starts outside the screen (on the bars beside it) is ignored to its end; one that starts on
// it and strays off is held at the screen's edge, as a finger is by the glass's rim.
class TouchMapper {
 public:
  explicit TouchMapper(kit::TouchSink& sink) : sink_(sink) {}

  void setGeometry(const WindowGeometry& geometry);
  const Letterbox& letterbox() const { return letterbox_; }

  kit::Point screenPointFromWindow(float x, float y) const;
  kit::Point screenPointFromNormalised(float x, float y) const;
  // The inverse maps, for replaying scripted input.
  kit::Point windowPointFromScreen(kit::Point p) const;
  kit::Point normalisedPointFromScreen(kit::Point p) const;

  // SDL identifies a finger by its device and its number on that device.
  void fingerDown(std::int64_t device, std::int64_t finger, float x, float y, double t);
  void fingerMoved(std::int64_t device, std::int64_t finger, float x, float y, double t);
  void fingerUp(std::int64_t device, std::int64_t finger, float x, float y, double t);

  // Window units; mirror: the modifier for the second finger is held.
  // Pressing or letting go of the modifier during a drag puts the second
  // finger down or lifts it.
  void mouseDown(float x, float y, bool mirror, double t);
  void mouseMoved(float x, float y, bool mirror, double t);
  void mouseUp(float x, float y, double t);

  // The window lost the input (focus gone, window closing): every touch
  // ends as Cancelled.
  void cancelAll(double t);

  std::size_t activeTouches() const { return active_.size(); }

 private:
  enum class Source { Finger, Mouse, MouseMirror };
  struct Key {
    Source source;
    std::int64_t device = 0;
    std::int64_t finger = 0;
    friend bool operator==(const Key&, const Key&) = default;
  };
  struct Active {
    Key key;
    int id;
    kit::Point location;
    kit::TouchPhase phase;  // this event's phase
  };

  Active* find(const Key& key);
  void begin(const Key& key, kit::Point location);
  void move(const Key& key, kit::Point location);
  void end(const Key& key, kit::Point location, kit::TouchPhase phase);
  int freeId() const;
  bool isOnScreen(kit::Point p) const;
  kit::Point clampToScreen(kit::Point p) const;
  void deliver(double t);

  kit::TouchSink& sink_;
  WindowGeometry geometry_;
  Letterbox letterbox_ = fitScreen(geometry_.drawableWidth, geometry_.drawableHeight);
  std::vector<Active> active_;  // in the order the touches began
  bool mouseDown_ = false;
};

}  // namespace desktop
