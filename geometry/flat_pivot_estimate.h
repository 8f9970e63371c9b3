// Where a flat tablet turns: the point of the table it turns about, told
// from the accelerometer and the gyroscope alone.
//
// A tablet lying flat that turns about a point P moves its motion sensor,
// at S, on a circle about P. With ω the turn rate and α its rate of change,
// the sensor's own acceleration in the device's axes, written as a complex
// number like the arm r = S − P, is
//
//     a = (−ω² + iα) · r
//
// (centripetal toward the pivot, tangential across the arm). Integrated
// over the two frame intervals around each frame, α gives way to the
// rate's change over them, which the gyroscope reads directly. Every frame
// of the turn is one such equation in the unknown arm; the arm is their
// weighted least-squares solution, each frame weighed by how far its
// reading and its coefficient can be trusted: the tangential part, strong
// while the turn speeds up and slows down, carries the gyroscope's noise
// divided by the frame time; the centripetal one grows with the square of
// the rate and carries the accelerometer's noise. How noisy the sensors
// are is learned while the tablet lies still.
#pragma once

#include <array>
#include <complex>
#include <optional>
#include <string_view>
#include <vector>

#include "kit/geometry.h"

// Which point a flat tablet's picture turns about while the tablet turns on
// the table: the screen centre (or the fingers' point, if a twist placed
// the pivot), or the point the sensors say the tablet turns about. A host
// sets it on the controller (`flatPivotMode`) before launch.
enum class FlatPivotMode { Centre, Estimate };

// "centre" and "estimate", as the scenario files and the command lines
// name the modes.
std::optional<FlatPivotMode> flatPivotModeNamed(std::string_view name);
const char* flatPivotModeName(FlatPivotMode mode);

// One frame's readings of a tablet lying flat.
struct FlatReading {
  double time = 0;  // s
  double rate = 0;  // rad/s about z, positive counter-clockwise seen from above
  // The sensor's own acceleration (the reading less gravity), points/s² in
  // the device's axes: x toward the screen's right edge, y toward its top.
  double feltX = 0, feltY = 0;

  bool isFinite() const;
};

// The sensors' noise, learned from the frames in which the tablet lies
// still: the gyroscope's offset and spread, the accelerometer's spread.
// The spreads start from a good tablet's and move to what the still
// frames show.
class SensorNoise {
 public:
  void learn(const FlatReading& still);
  double gyroBias() const { return rateMean_; }  // rad/s
  double gyroSigma() const;                      // rad/s
  double accelSigma() const;                     // points/s², each axis

 private:
  double frames_ = 0;  // frames learned from, up to a horizon
  double rateMean_ = 0, rateVariance_ = 0, feltSquare_ = 0;
};

struct PivotEstimate {
  bool known = false;      // enough frames of turning to say anything
  bool nonFinite = false;  // a reading or a result was not a finite number
  kit::Point pivot;        // screen points
  double uncertainty = 0;  // points: the expected distance from the true pivot
  double radius = 0;       // points from the motion sensor to the pivot
  int turningFrames = 0;   // frames whose rate was above the still limit
};

class FlatPivotEstimator {
 public:
  // sensor: where the motion sensor sits, screen points. floor: the least
  // uncertainty any estimate has, in points, however clean the readings
  // (how well the sensor's place and the body are known).
  FlatPivotEstimator(kit::Point sensor, double floor);

  // Forgets the turn: the sums start again from the last frame.
  void restart();
  // The next frame, in time order.
  void add(const FlatReading& reading, const SensorNoise& noise);
  // A frame was left out: the next equation waits for fresh frames.
  void breakSequence() { filled_ = 0; }

  PivotEstimate estimate() const;

  // A frame counts as turning above this rate (rad/s), as still below it.
  static constexpr double kStillRate = 0.05;

 private:
  // The arm the sums give now, or nothing yet.
  std::optional<std::complex<double>> arm() const;

  // One frame's equation m·r = a and the variance of its reading.
  struct Equation {
    std::complex<double> m, a;
    double variance;
  };
  // Σ|m|²/v, Σ conj(m)·a/v and Σ|a|²/v over some equations, v being the
  // variance each is weighed with.
  struct Sums {
    double mm = 0, aa = 0;
    std::complex<double> ma;
    int count = 0;
    void add(const Equation& e, double variance);
  };
  // The sums with every kept equation weighed against the arm r, its
  // per-axis variance being rVariance: an equation that misses by far more
  // than its noise allows counts for less.
  Sums weighed(std::optional<std::complex<double>> r, double rVariance) const;

  kit::Point sensor_;
  double floor_;
  // The last three frames; the middle one is taken when the third arrives.
  std::array<FlatReading, 3> window_{};
  int filled_ = 0;
  // The turn's equations, the oldest folded into settled_ once there are
  // many; plain_ has them all at their own weights, for a first guess.
  std::vector<Equation> kept_;
  Sums settled_, plain_;
  int turningFrames_ = 0;
  bool nonFinite_ = false;
};

// What to do with an estimate, judged against the pivot in force.
struct PivotVerdict {
  enum class Kind {
    Unknown,    // too short or too slow a turn to tell (yet)
    NonFinite,  // the readings cannot be used
    TooFar,     // the pivot would lie beyond the table
    TooNear,    // the pivot would lie within a finger's width of the sensor
    AtPivot,    // it cannot be told from the pivot in force
    Move,       // the picture should turn about the estimate
  } kind = Kind::Unknown;
  double limit = 0;  // points: the bound the estimate failed or met
};

// pointsPerInch sets the finger's width and the limits of uncertainty.
PivotVerdict judgePivotEstimate(const PivotEstimate& estimate, kit::Point pivotInForce,
                                double pointsPerInch);

// The uncertainty every estimate has at least, in inches: how well the
// sensor's place in the body is known.
inline constexpr double kFlatPivotFloorInches = 0.04;
// The table is 4096 points square; a pivot farther than that is a slide
// taken for a turn.
inline constexpr double kFlatPivotFarthest = 4096;
inline constexpr double kFingerWidthInches = 0.6;
// Beyond this uncertainty (inches) an estimate is not worth following.
inline constexpr double kFlatPivotMostUncertaintyInches = 0.3;
// A turn needs this many turning frames before it says anything.
inline constexpr int kFlatPivotLeastFrames = 6;

// The flat-pivot mode's state between frames, kept by the controller. A
// turn is followed from the last still frame before it (its rest) to the
// first still frame after it whose picture has been set right. Each time
// the turn rate passes through zero (the hand stops or turns back, maybe
// about another point) a new stretch begins, resting where the picture
// should then be.
struct FlatPivotTracker {
  enum class Phase {
    Waiting,  // no rest to start from (after launch, a twist, a lift)
    Ready,    // lying still: the rest is refreshed every frame
    Turning,  // moving since the rest
  };
  Phase phase = Phase::Waiting;
  SensorNoise noise;
  std::optional<FlatPivotEstimator> estimator;  // made at the first frame

  // The stretch's rest: rotatingView's transform, where tableTopView's
  // centre was (or should have been) and the pivot in force.
  kit::AffineTransform restHeading;
  kit::Point restTable, restAnchor;
  // The pivot the tablet had when it last lay still, given back then.
  kit::Point lyingAnchor;
  // What the last frame left, to tell moves of the pivot that keep the
  // picture still from anything else that moved it.
  kit::Point leftTable, leftAnchor;

  bool sawFlatGesture = false;  // a flat turn was in progress during the stretch
  bool adopted = false;         // the stretch's pivot has been estimated
  kit::Point best;              // the pivot the picture should turn about
  // The uncertainty of the estimate the picture is being set by, points:
  // the most the mode moves the picture in a frame.
  double bestUncertainty = 0;
  PivotEstimate latest;             // the estimate of the last frame
  std::optional<kit::Point> shown;  // the latest known estimate, for display
  int stillFrames = 0;

  // The mode's own move of the picture in the last frame and what it was
  // allowed, points.
  double lastCorrection = 0, lastAllowance = 0;
};
