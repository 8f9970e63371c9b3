// A simulated tablet: a rigid body of the application's size lying on a
// virtual table, and the sensor readings its motion would give. The
// headless runner's `tablet` lines and the desktop window's keyboard move
// it; as a MotionSource it answers the pose at any time.
//
// The table. Points of the table are in table points (1/132 inch), seen
// from above: x east, y north, z up; the table top is z = 0. At the start
// the tablet lies flat, screen up, its screen's top-left corner at the
// table's origin and its top edge toward north, at yaw π/2 (the heading at
// which the application shows its picture unturned).
//
// The body. Screen points as the application uses them (origin at the
// screen's top-left, y down) name points of the body's plane; the device
// axes are x toward the screen's right edge, y toward its top edge, z out
// of the screen, so screen point (sx, sy) is (sx, -sy, 0) in device axes.
//
// Attitude. The tablet's orientation is Rz(yaw - π/2) · Rx(pitch) ·
// Ry(roll) from device axes to the table's: positive pitch raises the top
// edge (gravity then points toward the bottom, g.y < 0), positive roll
// raises the left side (g.x > 0). Turning on the table changes the yaw
// alone.
//
// Easing. Every move eases in and out: its rate rises and falls along half
// a cosine wave over kEaseSeconds (or half the move when it is shorter),
// so that the angular and linear accelerations, and with them the
// accelerometer's reading, stay finite and begin and end at zero. A move of
// a given angle or distance covers it exactly: the pose at its end is
// computed, not integrated.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/geometry.h"
#include "kit/motion.h"

namespace kit {

// The body the simulated tablet has, given by the application it runs (the
// kit knows no device): sizes in its units, and the scale its readings of
// acceleration are given in.
struct TabletBody {
  double pointsPerInch = 0;
  double screenWidth = 0, screenHeight = 0;  // points
  double bodyWidthInches = 0, bodyHeightInches = 0;
  // Where a lifted corner touches the table: this far inside the corner of
  // the body's bounding box, as its rounding sets it back.
  double cornerInsetInches = 0;
  Point sensor;  // where the accelerometer sits, screen points
  // One g in points per second²: the accelerometer reads in g.
  double pointsPerSecond2PerG = 0;

  double bodyWidth() const { return bodyWidthInches * pointsPerInch; }
  double bodyHeight() const { return bodyHeightInches * pointsPerInch; }
  // The body is centred on the screen: its top-left corner, screen points.
  double bodyLeft() const { return (screenWidth - bodyWidth()) / 2; }
  double bodyTop() const { return (screenHeight - bodyHeight()) / 2; }
  double cornerInset() const { return cornerInsetInches * pointsPerInch; }
};

// What real sensors add to the truth: white noise of these standard
// deviations on every axis of the accelerometer (g) and of the rotation
// rate (rad/s), and a constant offset on every axis of the rotation rate.
// The attitude and gravity stay exact: they stand for the platform's fused
// estimates, which hide most of the raw sensors' noise. The noise of a
// reading is drawn from a generator seeded by `seed` and the reading's time,
// so a run gives the same readings however often a time is read.
struct TabletNoise {
  double accel = 0;  // g
  double gyro = 0;   // rad/s
  double bias = 0;   // rad/s
  std::uint64_t seed = 0;

  bool isQuiet() const { return accel == 0 && gyro == 0 && bias == 0; }
  friend bool operator==(const TabletNoise&, const TabletNoise&) = default;
};

// A side or corner that a lift raises.
enum class TabletSide { Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

std::optional<TabletSide> tabletSideNamed(std::string_view name);  // "left", "top-right", ...
const char* tabletSideName(TabletSide side);

// Where the tablet is: attitude and the table position of its screen's
// top-left corner.
struct TabletPose {
  double yaw = 0;  // not wrapped: a turn's angle stays exact
  double pitch = 0, roll = 0;
  Vector3 origin;  // table points

  // The table point (3-D) at the body's point that is screen point s.
  Vector3 bodyPoint(double sx, double sy) const;
  // The same point seen from straight above: where it lies on the table.
  Vector3 tablePointUnder(double sx, double sy) const;
  bool isFlat() const { return pitch == 0 && roll == 0; }
};

// A rate that changes smoothly: each change eases from the rate at that time
// to the new one over half a cosine wave. Times are from the profile's start.
class EasedRate {
 public:
  // From time t on, ease to `rate` over `ease` seconds (> 0). Changes must
  // come in time order; a change during an easing starts from the rate
  // reached.
  void change(double t, double rate, double ease);
  double rate(double t) const;
  double acceleration(double t) const;
  double distance(double t) const;  // covered since time 0

 private:
  struct Piece {
    double start, ease, from, to, distanceAtStart;
  };
  const Piece* pieceAt(double t) const;
  std::vector<Piece> pieces_;
};

class SimulatedTablet final : public MotionSource {
 public:
  static constexpr double kEaseSeconds = 0.05;

  // Throws std::invalid_argument for a geometry with a size, density or
  // scale that is not a positive finite number.
  explicit SimulatedTablet(TabletBody geometry, double startTime = 0);

  const TabletBody& geometry() const { return geometry_; }

  // From now on the readings carry this noise (none at first). Throws
  // std::invalid_argument for a negative or non-finite deviation or a
  // non-finite bias.
  void setNoise(const TabletNoise& noise);
  const TabletNoise& noise() const { return noise_; }

  // --- Moves ----------------------------------------------------------------
  // Each starts when the moves already given have ended (at once when they
  // have) and lasts `seconds` (> 0). A move that cannot be made throws
  // std::invalid_argument and leaves the tablet as it was. A steady turn in
  // progress (turnAtRate) eases to a stop first.

  // Turns on the table by `angle` (positive: counter-clockwise seen from
  // above) about the vertical through the body's point at screen point
  // `about`; by default where a hand turns it: about its middle when it
  // lies flat, and when lifted about the corner it rests on (see
  // defaultPivot).
  void turn(double angle, double seconds, std::optional<Point> about = std::nullopt);
  // Raises `side` until it makes `angle` (0 to under π/2) with the table,
  // the opposite side or corner resting where it is. A corner rises along
  // the body's diagonal. The resting side or corner must be on the table
  // already: a tablet lifted on its left cannot lift its right without
  // being laid down first.
  void lift(TabletSide side, double angle, double seconds);
  // Lays the tablet flat about the side or corner it rests on.
  void lower(double seconds);
  // Slides along the table by (dx, dy) screen points of its own axes (when
  // lifted, of its heading: the height stays).
  void slide(double dx, double dy, double seconds);
  // Lies still (a pause between moves; zero seconds allowed).
  void hold(double seconds);
  // For a key held down: from now on (or when the moves given have ended)
  // turn at `radiansPerSecond` about `about` (the default as for turn),
  // easing to the new rate; 0 eases to a stop. A change of rate while
  // turning keeps the pivot of the turn in progress.
  void turnAtRate(double radiansPerSecond, std::optional<Point> about = std::nullopt);

  // --- Time -----------------------------------------------------------------
  // Moves the tablet's time forward to t (never back) and finishes the moves
  // that have ended by then.
  void step(double t);
  double now() const { return now_; }
  // When the moves given so far end; now when there are none. Infinite
  // while a steady turn goes on.
  double movesEnd() const;
  bool isMoving() const { return !moves_.empty(); }

  // --- Readings -------------------------------------------------------------
  TabletPose pose() const;       // at now
  MotionSample reading() const;  // at now
  std::optional<MotionSample> sample(double t) override {
    step(t);
    return reading();
  }

  // The pose in which the moves given so far leave the tablet (for a
  // steady turn: the pose now).
  TabletPose finalPose() const;
  // The pivot a turn with no `about` would take after the moves given. A
  // flat tablet spun by hand turns about its middle, the screen's centre. A
  // lifted one turns about the corner it rests on: the lowest, on the side
  // toward which gravity leans in the body's plane; a tablet resting on a
  // whole side has two corners equally low, and turns about its right or
  // bottom one.
  Point defaultPivot() const;

 private:
  struct Move {
    enum class Kind { Turn, Tilt, Slide, Hold } kind = Kind::Hold;
    double start = 0;
    double duration = 0;  // infinite for a steady turn not yet told to stop
    TabletPose from, to;
    // The body point that stays put (a turn's pivot, a tilt's resting
    // corner) and where it is on the table.
    Point reference;
    Vector3 referenceAt;
    // Radians turned, or the fraction of a tilt or slide done.
    EasedRate progress;
    double dx = 0, dy = 0;  // a slide's, screen points

    double end() const { return start + duration; }
  };
  struct Motion;  // pose and its rates at one time

  Motion motionAt(double t) const;
  Motion motionOf(const Move& move, double sinceStart) const;
  MotionSample readingOf(const Motion& m) const;
  void queue(Move move);
  void stopSteadyTurn();
  Point defaultPivotFor(const TabletPose& pose) const;
  std::vector<Point> restingCorners(TabletSide side) const;
  Point lowestCorner(const TabletPose& pose) const;

  void addNoise(MotionSample& s, double t) const;

  TabletBody geometry_;
  TabletNoise noise_;
  double now_;
  TabletPose rest_;  // where the tablet lies when no move is under way
  std::deque<Move> moves_;
};

}  // namespace kit
