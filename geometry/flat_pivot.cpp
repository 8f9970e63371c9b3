// The flat-pivot mode: a flat tablet's picture turns about the point the
// sensors say the tablet turns about, not about the screen centre.
//
// A turn is followed from its rest, the last still frame before it. While a
// flat turn is in progress and the estimate is good enough, the pivot is
// moved to the estimate (shiftAnchor: the picture stays where it is). The
// frames turned about the old pivot before the estimate was known, and
// every later refinement of the estimate, leave the picture off by a
// shift; the mode moves the picture toward where a turn about the best
// estimate would have left it, never by more than the estimate's own
// uncertainty in one frame, until it is there. Once the tablet lies still
// again with the picture in place, the pivot goes back to the one in force
// at the rest, as it would have been without the mode. Where the turn rate
// passes through zero (a stop, or the hand turning back, maybe about
// another point) a new stretch begins, its rest being where the picture
// should be then, not where it has got to.
//
// The shift is kept in rotatingView's own (turned) space, where it is a
// constant: with the pivot A in force and the heading R, the picture turned
// about the estimate P from the rest (heading R₀, pivot A₀, tableTopView
// centre t₀) when tableTopView's centre is
//
//     t = t₀ + R⁻¹(P − A) + R₀⁻¹(A₀ − P).
//
// A twist of the fingers, a lift, or anything else that moves the picture
// ends the mode's hold on the turn; it waits for the next rest.
#include <cmath>

#include "app/device_facts.h"
#include "app/vitrane_view_controller.h"
#include "kit/log.h"

namespace {

using device::kPointsPerSecond2PerG;
// Pivot moves smaller than this (points) are not worth a shiftAnchor.
constexpr double kPivotSlack = 0.05;
// The picture counts as in place this close to where it should be (points).
constexpr double kInPlace = 0.01;
// Frames lying still before a turn counts as over: the estimate's equations
// lag a frame behind the readings, and a hand may pause for a frame.
constexpr int kStillFramesToEnd = 3;
// A still tablet's sensor feels less than this (g) of its own acceleration.
constexpr double kStillFelt = 0.05;
// The sensors' noise is learned from still frames turning slower than this
// (rad/s): ten times a good gyroscope's noise, and a creeping turn slower
// than it shifts what is taken for the offset by little.
constexpr double kLearningRate = 0.02;
// Moves of the picture by anything but a pivot shift (points).
constexpr double kMovedElsewhere = 0.01;

struct Vec {
  double x, y;
};
Vec operator-(kit::Point a, kit::Point b) { return {double(a.x) - b.x, double(a.y) - b.y}; }

// A screen vector in the space of a view whose transform is t.
Vec unrotate(const kit::AffineTransform& t, Vec v) {
  const double det = double(t.a) * t.d - double(t.b) * t.c;
  if (det == 0 || !std::isfinite(det)) return v;
  return {(double(t.d) * v.x - double(t.c) * v.y) / det,
          (double(t.a) * v.y - double(t.b) * v.x) / det};
}

double length(Vec v) { return std::hypot(v.x, v.y); }

}  // namespace

std::optional<kit::Point> VitraneforiPadViewController::estimatedFlatPivot() const {
  if (flatPivotMode != FlatPivotMode::Estimate) return std::nullopt;
  return flatPivot.shown;
}

void VitraneforiPadViewController::startFlatStretch(kit::Point restTable) {
  FlatPivotTracker& fp = flatPivot;
  fp.restHeading = outlets.rotatingView->transform();
  fp.restTable = restTable;
  fp.restAnchor = pivot.currentAnchor();
  fp.best = pivot.currentAnchor();
  fp.sawFlatGesture = fp.adopted = false;
  fp.estimator->restart();
}

void VitraneforiPadViewController::restFlatPivot() {
  FlatPivotTracker& fp = flatPivot;
  fp.phase = FlatPivotTracker::Phase::Ready;
  fp.lyingAnchor = pivot.currentAnchor();
  fp.bestUncertainty = kFlatPivotFloorInches * geometry.pointsPerInch;
  fp.stillFrames = 0;
  startFlatStretch(outlets.tableTopView->center());
}

bool VitraneforiPadViewController::flatPictureMovedElsewhere() const {
  // A pivot shift keeps t + R⁻¹A unchanged, the heading R being the one on
  // rotatingView now; anything else shows as a change of it.
  const kit::AffineTransform& r = outlets.rotatingView->transform();
  const Vec now = unrotate(r, pivot.currentAnchor() - kit::Point{});
  const Vec then = unrotate(r, flatPivot.leftAnchor - kit::Point{});
  const kit::Point t = outlets.tableTopView->center();
  const Vec diff{t.x + now.x - (flatPivot.leftTable.x + then.x),
                 t.y + now.y - (flatPivot.leftTable.y + then.y)};
  return !(length(diff) <= kMovedElsewhere);
}

kit::Point VitraneforiPadViewController::idealFlatTable() const {
  const FlatPivotTracker& fp = flatPivot;
  const Vec now = unrotate(outlets.rotatingView->transform(), fp.best - pivot.currentAnchor());
  const Vec before = unrotate(fp.restHeading, fp.restAnchor - fp.best);
  return {static_cast<float>(fp.restTable.x + now.x + before.x),
          static_cast<float>(fp.restTable.y + now.y + before.y)};
}

double VitraneforiPadViewController::correctFlatPicture(double allowance) {
  FlatPivotTracker& fp = flatPivot;
  const kit::Point t = outlets.tableTopView->center();
  const Vec off = idealFlatTable() - t;
  const double distance = length(off);
  fp.lastAllowance = allowance;
  if (!(distance > 0) || !std::isfinite(distance)) return 0;
  const double k = distance <= allowance ? 1 : allowance / distance;
  outlets.tableTopView->setCenter(
      {static_cast<float>(t.x + off.x * k), static_cast<float>(t.y + off.y * k)});
  fp.lastCorrection = distance * k;
  return distance - fp.lastCorrection;
}

void VitraneforiPadViewController::reportFlatStretch(const PivotVerdict& verdict) {
  const FlatPivotTracker& fp = flatPivot;
  // One line for a flat turn whose estimate was not followed: why.
  if (!fp.sawFlatGesture || (fp.adopted && !fp.latest.nonFinite)) return;
  using Kind = PivotVerdict::Kind;
  switch (fp.latest.nonFinite ? Kind::NonFinite : verdict.kind) {
    case Kind::NonFinite:
      kit::log("Flat turn pivot refused: the readings were not finite numbers; the pivot stays");
      break;
    case Kind::TooFar:
      kit::log(
          "Flat turn pivot refused: %1.1f points from the sensor is beyond the table (%1.0f); "
          "the pivot stays",
          fp.latest.radius, verdict.limit);
      break;
    case Kind::TooNear:
      kit::log(
          "Flat turn pivot refused: %1.1f points from the sensor is less than a finger's width "
          "(%1.1f); the pivot stays",
          fp.latest.radius, verdict.limit);
      break;
    case Kind::AtPivot:
      kit::log(
          "Flat turn about %1.1f, %1.1f is within %1.1f points of the pivot in force; the "
          "pivot stays",
          fp.latest.pivot.x, fp.latest.pivot.y, verdict.limit);
      break;
    case Kind::Unknown:
    case Kind::Move:
      kit::log(
          "Flat turn pivot refused: the turn was too short or too slow to tell (%d turning "
          "frames); the pivot stays",
          fp.latest.turningFrames);
      break;
  }
}

void VitraneforiPadViewController::updateFlatPivot() {
  if (flatPivotMode != FlatPivotMode::Estimate) return;
  FlatPivotTracker& fp = flatPivot;
  using Phase = FlatPivotTracker::Phase;
  if (!fp.estimator)
    fp.estimator.emplace(geometry.accelerometerLocation,
                         kFlatPivotFloorInches * geometry.pointsPerInch);
  fp.lastCorrection = 0;

  const double rate = turnRateZ();
  const kit::Vector3 g = currentGravity();
  FlatReading reading{velocity.currentTimestamp, rate, 0, 0};
  if (velocity.currentAcceleration) {
    reading.feltX = (g.x - velocity.currentAcceleration->x) * kPointsPerSecond2PerG;
    reading.feltY = (g.y - velocity.currentAcceleration->y) * kPointsPerSecond2PerG;
  }
  const bool flat = deviceIsFlat();
  const bool flatGesture = turn.gestureStarted && turn.gestureIsFlat;
  // Not turning: at a stop, or where the hand turns back.
  const bool pause = flat && reading.isFinite() &&
                     std::fabs(rate - fp.noise.gyroBias()) < FlatPivotEstimator::kStillRate;
  const bool still = pause && !turn.gestureStarted &&
                     std::hypot(reading.feltX, reading.feltY) < kStillFelt * kPointsPerSecond2PerG;

  // A twist of the fingers wins, a lifted tablet keeps its gravity corner,
  // and whatever else moved the picture has made the rest meaningless.
  if (fp.phase != Phase::Waiting &&
      (pivot.anchorJustSetByTwist() || (!flat && !flatGesture) || flatPictureMovedElsewhere()))
    fp.phase = Phase::Waiting;
  if (still && std::fabs(rate - fp.noise.gyroBias()) < kLearningRate) fp.noise.learn(reading);

  if (fp.phase == Phase::Waiting || fp.phase == Phase::Ready) {
    if (still && !pivot.anchorJustSetByTwist()) {
      restFlatPivot();
      fp.estimator->add(reading, fp.noise);
    }
    if (fp.phase == Phase::Waiting || still) {
      fp.leftTable = outlets.tableTopView->center();
      fp.leftAnchor = pivot.currentAnchor();
      return;
    }
    fp.phase = Phase::Turning;
  }

  // A slightly lifted flat turn goes on, but its readings carry gravity.
  if (flat)
    fp.estimator->add(reading, fp.noise);
  else
    fp.estimator->breakSequence();
  fp.latest = fp.estimator->estimate();
  if (fp.latest.known) fp.shown = fp.latest.pivot;
  const PivotVerdict verdict = judgePivotEstimate(fp.latest, fp.restAnchor, geometry.pointsPerInch);

  // Only a turn fast enough to be a flat turn is followed; slower ones
  // keep the pivot in force, as they would without the mode.
  if (flatGesture && !pause) fp.sawFlatGesture = true;
  if (fp.sawFlatGesture) {
    switch (verdict.kind) {
      case PivotVerdict::Kind::Move:
        fp.best = fp.latest.pivot;
        fp.bestUncertainty = fp.latest.uncertainty;
        if (!fp.adopted)
          kit::log("Flat turn about %1.1f, %1.1f (within %1.1f points): the picture turns about it",
                   fp.best.x, fp.best.y, fp.latest.uncertainty);
        fp.adopted = true;
        break;
      case PivotVerdict::Kind::AtPivot:
        fp.best = fp.restAnchor;
        fp.bestUncertainty = fp.latest.uncertainty;
        break;
      case PivotVerdict::Kind::NonFinite: fp.best = fp.restAnchor; break;
      default: break;  // the best so far stands
    }
  }

  // Turning no more: the stretch is over, and the next rests where the
  // picture should be now.
  if (pause) {
    reportFlatStretch(verdict);
    startFlatStretch(idealFlatTable());
  }

  // The pivot follows the estimate while the turn goes on, unless the turn
  // recogniser holds a lying tablet's pivot at the centre.
  if (flatGesture || pivot.anchorSetByTwist()) {
    const kit::Point target = fp.adopted ? fp.best : fp.restAnchor;
    if (length(target - pivot.currentAnchor()) > kPivotSlack) shiftAnchor(target);
  }

  const double stillOff = correctFlatPicture(fp.bestUncertainty);

  // Lying still with the picture in place: back to the pivot it had when it
  // last lay still, and a new rest.
  fp.stillFrames = still ? fp.stillFrames + 1 : 0;
  if (fp.stillFrames >= kStillFramesToEnd && stillOff < kInPlace) {
    shiftAnchor(fp.lyingAnchor);
    restFlatPivot();
  }
  fp.leftTable = outlets.tableTopView->center();
  fp.leftAnchor = pivot.currentAnchor();
}
