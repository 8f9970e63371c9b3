// The keyboard's hand on the simulated tablet, for machines without motion
// sensors: keys turn, lift and slide a tablet lying on a virtual table.
//
//   Left, Right     turn it while held, at a steady 60°/s (Left
//                   counter-clockwise seen from above), about the screen's
//                   centre when it lies flat and about the corner that rests
//                   on the table when a side is lifted (the tablet's own
//                   default pivot)
//   W, S, A, D      lift the top, bottom, left or right side: a press raises
//                   it 5° over 0.3 s, each further press of the same key 5°
//                   more, up to 20°. A key for another side first lays the
//                   tablet flat, then lifts that side
//   Space           lay it flat again, over 0.3 s
//   Shift + arrows  slide it one inch along its own axes (Shift+Up toward its
//                   top edge); a held key keeps sliding it inch by inch
//
// Moves queue on the tablet and run one after the other; a turn key still
// held when another move is made goes on turning after it. The sign
// conventions are the tablet's (kit/simulated_tablet.h): the yaw grows
// counter-clockwise seen from above, positive pitch raises the top, positive
// roll the left side, and gravity points toward the side resting on the
// table.
#pragma once

#include <array>
#include <numbers>
#include <optional>

#include "kit/simulated_tablet.h"

namespace desktop {

enum class TabletKey {
  TurnLeft,
  TurnRight,
  LiftTop,
  LiftBottom,
  LiftLeft,
  LiftRight,
  LayFlat,
  SlideLeft,
  SlideRight,
  SlideUp,
  SlideDown,
};

class TabletKeyboard {
 public:
  static constexpr double kDegree = std::numbers::pi / 180;
  static constexpr double kTurnRate = 60 * kDegree;  // rad/s
  static constexpr double kLiftStep = 5 * kDegree;
  static constexpr double kMostLift = 20 * kDegree;
  static constexpr double kTiltSeconds = 0.3;
  static constexpr double kSlideStep = 132;  // screen points: an inch
  static constexpr double kSlideSeconds = 0.25;

  explicit TabletKeyboard(kit::SimulatedTablet& tablet) : tablet_(tablet) {}

  // t: the main clock's time of the key event; the tablet is brought to it
  // first, so a move starts when its key went down. repeat: the keyboard's
  // auto-repeat of a key already down, which only a slide takes.
  void press(TabletKey key, double t, bool repeat = false);
  void release(TabletKey key, double t);
  // The window lost the keyboard: its key-up events will never come.
  void releaseAll(double t);

  // The latest slide the keys made, if any: where the tablet was to lie
  // when it began (after the moves before it) and when it ends.
  struct Slide {
    kit::TabletPose from;
    double ends = 0;
  };
  const std::optional<Slide>& lastSlide() const { return lastSlide_; }

  // The side the keys have lifted, if any, and how far.
  std::optional<kit::TabletSide> liftedSide() const { return lifted_; }
  double liftAngle() const { return liftAngle_; }

 private:
  bool held(TabletKey key) const { return held_[static_cast<int>(key)]; }
  // Sets the steady turn from the turn keys held now.
  void steer();
  void lift(kit::TabletSide side);
  void layFlat();
  void slide(double dx, double dy, bool repeat);

  kit::SimulatedTablet& tablet_;
  std::array<bool, 2> held_{};  // TurnLeft, TurnRight
  double turning_ = 0;          // the rate asked of the tablet
  double slidesEnd_ = 0;        // when the slides asked for so far end
  std::optional<Slide> lastSlide_;
  std::optional<kit::TabletSide> lifted_;
  double liftAngle_ = 0;
};

}  // namespace desktop
