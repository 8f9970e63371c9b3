#include "kit/simulated_tablet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>

#include "kit/rotation_matrix.h"

namespace kit {

namespace {

constexpr double kPi = std::numbers::pi;
// Frame times and move ends come from different sums; a move counts as
// ended this close to its end, so the last frame of a move shows its exact
// end pose.
constexpr double kTimeTolerance = 1e-9;
// How high a corner may be and still count as resting on the table
// (rounding in the poses is far below this).
constexpr double kRestingHeight = 1e-6;

Vector3 operator+(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector3 operator-(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector3 operator*(double s, Vector3 v) { return {s * v.x, s * v.y, s * v.z}; }
Vector3 cross(Vector3 a, Vector3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The table's north is the device's y axis at yaw π/2.
Matrix3 heading(double yaw) { return rotationZ(yaw - kPi / 2); }
Matrix3 orientation(const TabletPose& p) {
  return heading(p.yaw) * rotationX(p.pitch) * rotationY(p.roll);
}

// Screen points (y down) to device axes (y up), in the screen's plane.
Vector3 devicePoint(double sx, double sy) { return {sx, -sy, 0}; }
Vector3 devicePoint(Point s) { return devicePoint(s.x, s.y); }

void requireDuration(double seconds, bool zeroAllowed) {
  if (!std::isfinite(seconds) || seconds < 0 || (!zeroAllowed && seconds == 0))
    throw std::invalid_argument(zeroAllowed ? "the time must be 0 or more"
                                            : "the time must be more than 0");
}

// A move of `total` over `seconds` eases up, keeps a steady rate, eases down.
EasedRate easedMove(double total, double seconds) {
  const double ease = std::min(SimulatedTablet::kEaseSeconds, seconds / 2);
  EasedRate r;
  r.change(0, total / (seconds - ease), ease);
  r.change(seconds - ease, 0, ease);
  return r;
}

}  // namespace

// --- EasedRate ---------------------------------------------------------------

void EasedRate::change(double t, double newRate, double ease) {
  if (!pieces_.empty()) t = std::max(t, pieces_.back().start);
  pieces_.push_back({t, ease, rate(t), newRate, distance(t)});
}

const EasedRate::Piece* EasedRate::pieceAt(double t) const {
  const Piece* found = nullptr;
  for (const Piece& p : pieces_) {
    if (p.start > t) break;
    found = &p;
  }
  return found;
}

double EasedRate::rate(double t) const {
  const Piece* p = pieceAt(t);
  if (!p) return 0;
  const double u = t - p->start;
  if (u >= p->ease) return p->to;
  return p->from + (p->to - p->from) * (1 - std::cos(kPi * u / p->ease)) / 2;
}

double EasedRate::acceleration(double t) const {
  const Piece* p = pieceAt(t);
  if (!p) return 0;
  const double u = t - p->start;
  if (u >= p->ease) return 0;
  return (p->to - p->from) * kPi / (2 * p->ease) * std::sin(kPi * u / p->ease);
}

double EasedRate::distance(double t) const {
  const Piece* p = pieceAt(t);
  if (!p) return 0;
  const double u = t - p->start;
  const double change = p->to - p->from;
  if (u >= p->ease)
    return p->distanceAtStart + (p->from + p->to) * p->ease / 2 + p->to * (u - p->ease);
  return p->distanceAtStart + p->from * u +
         change * (u / 2 - p->ease / (2 * kPi) * std::sin(kPi * u / p->ease));
}

// --- Sides and poses -----------------------------------------------------------

namespace {
struct SideName {
  TabletSide side;
  const char* name;
};
constexpr SideName kSideNames[] = {{TabletSide::Left, "left"},
                                   {TabletSide::Right, "right"},
                                   {TabletSide::Top, "top"},
                                   {TabletSide::Bottom, "bottom"},
                                   {TabletSide::TopLeft, "top-left"},
                                   {TabletSide::TopRight, "top-right"},
                                   {TabletSide::BottomLeft, "bottom-left"},
                                   {TabletSide::BottomRight, "bottom-right"}};
}  // namespace

std::optional<TabletSide> tabletSideNamed(std::string_view name) {
  for (const SideName& s : kSideNames)
    if (name == s.name) return s.side;
  return std::nullopt;
}

const char* tabletSideName(TabletSide side) {
  for (const SideName& s : kSideNames)
    if (s.side == side) return s.name;
  return "?";
}

Vector3 TabletPose::bodyPoint(double sx, double sy) const {
  return origin + orientation(*this) * devicePoint(sx, sy);
}

Vector3 TabletPose::tablePointUnder(double sx, double sy) const {
  Vector3 p = bodyPoint(sx, sy);
  p.z = 0;
  return p;
}

// --- The tablet --------------------------------------------------------------

struct SimulatedTablet::Motion {
  TabletPose pose;
  Vector3 angularVelocity;     // table axes, rad/s
  Vector3 sensorAcceleration;  // table axes, points/s²
};

namespace {

void requirePositive(double value, const char* what) {
  if (!(std::isfinite(value) && value > 0))
    throw std::invalid_argument(std::string(what) + " must be a positive number");
}

}  // namespace

SimulatedTablet::SimulatedTablet(TabletBody geometry, double startTime)
    : geometry_(geometry), now_(startTime) {
  requirePositive(geometry.pointsPerInch, "points per inch");
  requirePositive(geometry.screenWidth, "the screen's width");
  requirePositive(geometry.screenHeight, "the screen's height");
  requirePositive(geometry.bodyWidthInches, "the body's width");
  requirePositive(geometry.bodyHeightInches, "the body's height");
  requirePositive(geometry.pointsPerSecond2PerG, "the acceleration scale");
  rest_.yaw = kPi / 2;
}

double SimulatedTablet::movesEnd() const {
  return moves_.empty() ? now_ : std::max(now_, moves_.back().end());
}

void SimulatedTablet::step(double t) {
  if (t > now_) now_ = t;
  while (!moves_.empty() && now_ >= moves_.front().end() - kTimeTolerance) {
    rest_ = moves_.front().to;
    moves_.pop_front();
  }
}

TabletPose SimulatedTablet::finalPose() const {
  if (moves_.empty()) return rest_;
  const Move& last = moves_.back();
  if (std::isinf(last.duration)) return motionOf(last, std::max(0.0, now_ - last.start)).pose;
  return last.to;
}

Point SimulatedTablet::defaultPivot() const { return defaultPivotFor(finalPose()); }

Point SimulatedTablet::defaultPivotFor(const TabletPose& pose) const {
  const TabletBody& g = geometry_;
  if (pose.isFlat())
    return {static_cast<float>(g.screenWidth / 2), static_cast<float>(g.screenHeight / 2)};
  // Gravity in the body's plane points down the slope, toward the corner
  // that rests; with no lean across (x exactly 0) the right side rests, with
  // none along (y exactly 0) the bottom.
  const Vector3 down = orientation(pose).transposeTimes({0, 0, -1});
  const double inset = g.cornerInset();
  const double x = down.x >= 0 ? g.bodyLeft() + g.bodyWidth() - inset : g.bodyLeft() + inset;
  const double y = down.y > 0 ? g.bodyTop() + inset : g.bodyTop() + g.bodyHeight() - inset;
  return {static_cast<float>(x), static_cast<float>(y)};
}

std::vector<Point> SimulatedTablet::restingCorners(TabletSide side) const {
  const TabletBody& g = geometry_;
  const auto left = static_cast<float>(g.bodyLeft());
  const auto top = static_cast<float>(g.bodyTop());
  const auto right = static_cast<float>(g.bodyLeft() + g.bodyWidth());
  const auto bottom = static_cast<float>(g.bodyTop() + g.bodyHeight());
  const Point tl{left, top}, tr{right, top}, bl{left, bottom}, br{right, bottom};
  switch (side) {
    case TabletSide::Left: return {tr, br};
    case TabletSide::Right: return {tl, bl};
    case TabletSide::Top: return {bl, br};
    case TabletSide::Bottom: return {tl, tr};
    case TabletSide::TopLeft: return {br};
    case TabletSide::TopRight: return {bl};
    case TabletSide::BottomLeft: return {tr};
    case TabletSide::BottomRight: return {tl};
  }
  return {};
}

Point SimulatedTablet::lowestCorner(const TabletPose& pose) const {
  const TabletBody& g = geometry_;
  Point best;
  double lowest = std::numeric_limits<double>::infinity();
  for (double x : {g.bodyLeft(), g.bodyLeft() + g.bodyWidth()})
    for (double y : {g.bodyTop(), g.bodyTop() + g.bodyHeight()}) {
      const Point corner{static_cast<float>(x), static_cast<float>(y)};
      const double z = pose.bodyPoint(corner.x, corner.y).z;
      if (z < lowest) lowest = z, best = corner;
    }
  return best;
}

void SimulatedTablet::queue(Move move) {
  move.start = movesEnd();
  moves_.push_back(std::move(move));
}

void SimulatedTablet::stopSteadyTurn() {
  if (moves_.empty() || !std::isinf(moves_.back().duration)) return;
  Move& m = moves_.back();
  const double t = std::max(0.0, now_ - m.start);
  m.progress.change(t, 0, kEaseSeconds);
  m.duration = t + kEaseSeconds;
  m.to = m.from;
  m.to.yaw = m.from.yaw + m.progress.distance(m.duration);
  m.to.origin = m.referenceAt - orientation(m.to) * devicePoint(m.reference);
}

namespace {
void requireFinitePoint(const std::optional<Point>& p) {
  if (p && !(std::isfinite(p->x) && std::isfinite(p->y)))
    throw std::invalid_argument("the pivot must be a finite point");
}
}  // namespace

void SimulatedTablet::turn(double angle, double seconds, std::optional<Point> about) {
  requireDuration(seconds, false);
  if (!std::isfinite(angle)) throw std::invalid_argument("the angle must be finite");
  requireFinitePoint(about);
  stopSteadyTurn();
  Move m;
  m.kind = Move::Kind::Turn;
  m.duration = seconds;
  m.from = finalPose();
  m.reference = about ? *about : defaultPivotFor(m.from);
  m.referenceAt = m.from.bodyPoint(m.reference.x, m.reference.y);
  m.progress = easedMove(angle, seconds);
  m.to = m.from;
  m.to.yaw = m.from.yaw + angle;
  m.to.origin = m.referenceAt - orientation(m.to) * devicePoint(m.reference);
  queue(std::move(m));
}

void SimulatedTablet::turnAtRate(double radiansPerSecond, std::optional<Point> about) {
  if (!std::isfinite(radiansPerSecond)) throw std::invalid_argument("the rate must be finite");
  requireFinitePoint(about);
  if (!moves_.empty() && std::isinf(moves_.back().duration)) {
    Move& m = moves_.back();
    if (radiansPerSecond == 0) {
      stopSteadyTurn();
    } else {
      m.progress.change(std::max(0.0, now_ - m.start), radiansPerSecond, kEaseSeconds);
    }
    return;
  }
  if (radiansPerSecond == 0) return;
  Move m;
  m.kind = Move::Kind::Turn;
  m.duration = std::numeric_limits<double>::infinity();
  m.from = finalPose();
  m.reference = about ? *about : defaultPivotFor(m.from);
  m.referenceAt = m.from.bodyPoint(m.reference.x, m.reference.y);
  m.progress.change(0, radiansPerSecond, kEaseSeconds);
  m.to = m.from;
  queue(std::move(m));
}

void SimulatedTablet::lift(TabletSide side, double angle, double seconds) {
  requireDuration(seconds, false);
  if (!std::isfinite(angle) || angle < 0 || angle >= kPi / 2)
    throw std::invalid_argument("a lift's angle must be from 0 to under 90deg");
  // A turn on the table changes no height: whether the resting side is
  // down can be asked before a steady turn is stopped.
  const std::vector<Point> resting = restingCorners(side);
  for (const Point& c : resting)
    if (finalPose().bodyPoint(c.x, c.y).z > kRestingHeight)
      throw std::invalid_argument(
          std::string("cannot lift the ") + tabletSideName(side) +
          (resting.size() == 1 ? " corner: the opposite corner" : " side: the opposite side") +
          " is off the table; lower the tablet first");

  // The direction from the resting side or corner to the lifted one, in
  // device axes; tipping that direction up by `angle` gives gravity
  // (-u sin a) across the screen, and from gravity the pitch and roll.
  const TabletBody& g = geometry_;
  double ux = 0, uy = 0;
  switch (side) {
    case TabletSide::Left: ux = -1; break;
    case TabletSide::Right: ux = 1; break;
    case TabletSide::Top: uy = 1; break;
    case TabletSide::Bottom: uy = -1; break;
    default: {
      const bool left = side == TabletSide::TopLeft || side == TabletSide::BottomLeft;
      const bool top = side == TabletSide::TopLeft || side == TabletSide::TopRight;
      const double diagonal = std::hypot(g.bodyWidth(), g.bodyHeight());
      ux = (left ? -g.bodyWidth() : g.bodyWidth()) / diagonal;
      uy = (top ? g.bodyHeight() : -g.bodyHeight()) / diagonal;
    }
  }
  stopSteadyTurn();
  const TabletPose from = finalPose();
  Move m;
  m.kind = Move::Kind::Tilt;
  m.duration = seconds;
  m.from = from;
  m.reference = resting.front();
  m.referenceAt = from.bodyPoint(m.reference.x, m.reference.y);
  m.referenceAt.z = 0;
  m.progress = easedMove(1, seconds);
  m.to = from;
  m.to.pitch = std::asin(uy * std::sin(angle));
  m.to.roll = std::atan2(-ux * std::sin(angle), std::cos(angle));
  m.to.origin = m.referenceAt - orientation(m.to) * devicePoint(m.reference);
  queue(std::move(m));
}

void SimulatedTablet::lower(double seconds) {
  requireDuration(seconds, false);
  stopSteadyTurn();
  Move m;
  m.kind = Move::Kind::Tilt;
  m.duration = seconds;
  m.from = finalPose();
  m.reference = lowestCorner(m.from);
  m.referenceAt = m.from.bodyPoint(m.reference.x, m.reference.y);
  m.referenceAt.z = 0;
  m.progress = easedMove(1, seconds);
  m.to = m.from;
  m.to.pitch = m.to.roll = 0;
  m.to.origin = m.referenceAt - orientation(m.to) * devicePoint(m.reference);
  m.to.origin.z = 0;  // flat: every point lies on the table
  queue(std::move(m));
}

void SimulatedTablet::slide(double dx, double dy, double seconds) {
  requireDuration(seconds, false);
  if (!std::isfinite(dx) || !std::isfinite(dy))
    throw std::invalid_argument("the distance must be finite");
  stopSteadyTurn();
  Move m;
  m.kind = Move::Kind::Slide;
  m.duration = seconds;
  m.from = finalPose();
  m.dx = dx;
  m.dy = dy;
  m.progress = easedMove(1, seconds);
  m.to = m.from;
  m.to.origin = m.from.origin + heading(m.from.yaw) * devicePoint(dx, dy);
  queue(std::move(m));
}

void SimulatedTablet::hold(double seconds) {
  requireDuration(seconds, true);
  stopSteadyTurn();
  if (seconds == 0) return;
  Move m;
  m.kind = Move::Kind::Hold;
  m.duration = seconds;
  m.from = m.to = finalPose();
  queue(std::move(m));
}

SimulatedTablet::Motion SimulatedTablet::motionAt(double t) const {
  if (moves_.empty() || t < moves_.front().start) return {rest_, {}, {}};
  return motionOf(moves_.front(), t - moves_.front().start);
}

SimulatedTablet::Motion SimulatedTablet::motionOf(const Move& m, double u) const {
  if (u >= m.duration - kTimeTolerance) return {m.to, {}, {}};

  // The pose's angles and their first two derivatives, and the body point
  // that moves only as the reference says.
  TabletPose pose = m.from;
  double yawRate = 0, yawAcceleration = 0;
  double pitchRate = 0, pitchAcceleration = 0, rollRate = 0, rollAcceleration = 0;
  Point reference{0, 0};
  Vector3 referenceAt = m.from.origin, referenceVelocity, referenceAcceleration;
  const double s = m.progress.distance(u);
  const double sRate = m.progress.rate(u);
  const double sAcceleration = m.progress.acceleration(u);
  switch (m.kind) {
    case Move::Kind::Turn:
      pose.yaw = m.from.yaw + s;
      yawRate = sRate;
      yawAcceleration = sAcceleration;
      reference = m.reference;
      referenceAt = m.referenceAt;
      break;
    case Move::Kind::Tilt: {
      const double dp = m.to.pitch - m.from.pitch, dr = m.to.roll - m.from.roll;
      pose.pitch = m.from.pitch + dp * s;
      pose.roll = m.from.roll + dr * s;
      pitchRate = dp * sRate;
      pitchAcceleration = dp * sAcceleration;
      rollRate = dr * sRate;
      rollAcceleration = dr * sAcceleration;
      reference = m.reference;
      referenceAt = m.referenceAt;
      break;
    }
    case Move::Kind::Slide: {
      const Vector3 way = heading(m.from.yaw) * devicePoint(m.dx, m.dy);
      referenceAt = m.from.origin + s * way;
      referenceVelocity = sRate * way;
      referenceAcceleration = sAcceleration * way;
      break;
    }
    case Move::Kind::Hold: return {m.from, {}, {}};
  }

  const Matrix3 r = orientation(pose);
  pose.origin = referenceAt - r * devicePoint(reference);

  // Angular velocity of Rz(yaw)·Rx(pitch)·Ry(roll): each angle turns about
  // its axis as carried by the rotations before it.
  const Vector3 up{0, 0, 1};
  const Vector3 pitchAxis = heading(pose.yaw) * Vector3{1, 0, 0};
  const Vector3 rollAxis = heading(pose.yaw) * (rotationX(pose.pitch) * Vector3{0, 1, 0});
  const Vector3 yawOmega = yawRate * up;
  const Vector3 omega = yawOmega + pitchRate * pitchAxis + rollRate * rollAxis;
  const Vector3 alpha = yawAcceleration * up + pitchAcceleration * pitchAxis +
                        pitchRate * cross(yawOmega, pitchAxis) + rollAcceleration * rollAxis +
                        rollRate * cross(yawOmega + pitchRate * pitchAxis, rollAxis);

  // The sensor about the reference point: tangential plus centripetal.
  const Vector3 arm = r * (devicePoint(geometry_.sensor) - devicePoint(reference));
  const Vector3 sensor =
      referenceAcceleration + cross(alpha, arm) + cross(omega, cross(omega, arm));
  return {pose, omega, sensor};
}

TabletPose SimulatedTablet::pose() const { return motionAt(now_).pose; }

MotionSample SimulatedTablet::reading() const {
  MotionSample s = readingOf(motionAt(now_));
  if (!noise_.isQuiet()) addNoise(s, now_);
  return s;
}

void SimulatedTablet::setNoise(const TabletNoise& noise) {
  if (!std::isfinite(noise.accel) || noise.accel < 0 || !std::isfinite(noise.gyro) ||
      noise.gyro < 0)
    throw std::invalid_argument("a noise's standard deviation must be finite and 0 or more");
  if (!std::isfinite(noise.bias))
    throw std::invalid_argument("the gyroscope's bias must be finite");
  noise_ = noise;
}

namespace {
// SplitMix64: small, fast, and good enough to stand for a sensor's noise.
class NoiseStream {
 public:
  explicit NoiseStream(std::uint64_t state) : state_(state) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // In (0, 1]: never 0, so that its logarithm is finite.
  double uniform() { return (static_cast<double>(next() >> 11) + 1) * 0x1.0p-53; }
  // Two independent standard normal numbers (Box and Muller).
  std::pair<double, double> normals() {
    const double radius = std::sqrt(-2 * std::log(uniform()));
    const double angle = 2 * kPi * uniform();
    return {radius * std::cos(angle), radius * std::sin(angle)};
  }

 private:
  std::uint64_t state_;
};
}  // namespace

void SimulatedTablet::addNoise(MotionSample& s, double t) const {
  // Keyed by the time as well as the seed: one time, one draw.
  std::uint64_t timeBits = 0;
  static_assert(sizeof timeBits == sizeof t);
  std::memcpy(&timeBits, &t, sizeof t);
  NoiseStream seeder(noise_.seed);
  NoiseStream stream(seeder.next() ^ timeBits);
  const auto [ax, ay] = stream.normals();
  const auto [az, gx] = stream.normals();
  const auto [gy, gz] = stream.normals();
  s.acceleration.x += noise_.accel * ax;
  s.acceleration.y += noise_.accel * ay;
  s.acceleration.z += noise_.accel * az;
  s.rotationRate.x += noise_.bias + noise_.gyro * gx;
  s.rotationRate.y += noise_.bias + noise_.gyro * gy;
  s.rotationRate.z += noise_.bias + noise_.gyro * gz;
}

MotionSample SimulatedTablet::readingOf(const Motion& m) const {
  const Matrix3 r = orientation(m.pose);
  MotionSample s;
  // Sensors report the yaw within a turn either way of zero.
  s.attitude.yaw = std::remainder(m.pose.yaw, 2 * kPi);
  s.attitude.pitch = m.pose.pitch;
  s.attitude.roll = m.pose.roll;
  s.rotationRate = r.transposeTimes(m.angularVelocity);
  s.gravity = r.transposeTimes({0, 0, -1});
  // The accelerometer feels gravity less its own acceleration: lying still
  // it reads gravity, and a sensor pushed toward +x reads less on x.
  const Vector3 felt = r.transposeTimes(m.sensorAcceleration);
  s.acceleration = s.gravity - (1 / geometry_.pointsPerSecond2PerG) * felt;
  return s;
}

}  // namespace kit
