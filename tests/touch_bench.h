// Synthetic fingers on a view tree, on a virtual clock: the touches reach a
// TouchDispatcher the way a host sends them (every finger down in each
// event, the changed one with its phase), and moving the clock fires the
// recognisers' timers in time order, as the run loop would.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "kit/clock.h"
#include "kit/gesture_recognizer.h"
#include "kit/run_loop.h"
#include "kit/touch_dispatcher.h"
#include "kit/view.h"

namespace touchtest {

using kit::GestureState;
using kit::Point;
using kit::TouchPhase;

// The states a recogniser's action saw, in order, with the time of each.
struct ActionLog {
  std::vector<GestureState> states;
  std::vector<double> times;
  int count(GestureState s) const {
    int n = 0;
    for (GestureState x : states) n += x == s;
    return n;
  }
};

template <class R>
std::shared_ptr<R> recognizer(ActionLog& log, const kit::Clock& clock) {
  return std::make_shared<R>([&log, &clock](kit::GestureRecognizer& g) {
    log.states.push_back(g.state());
    log.times.push_back(clock.now());
  });
}

// A delegate that lets recognisers of one view run together, and nothing
// else (the application's rule, without its long-press exception).
class SameViewDelegate : public kit::GestureRecognizerDelegate {
 public:
  bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
      kit::GestureRecognizer& g, kit::GestureRecognizer& h) override {
    return g.view() == h.view();
  }
};

class FixedDelegate : public kit::GestureRecognizerDelegate {
 public:
  explicit FixedDelegate(bool answer) : answer_(answer) {}
  bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
      kit::GestureRecognizer&, kit::GestureRecognizer&) override {
    return answer_;
  }

 private:
  bool answer_;
};

class TouchBench {
 public:
  TouchBench() { root->setFrame({0, 0, 768, 1024}); }

  // Moves the clock to t, firing every timer due by then in time order.
  void at(double t) {
    for (auto next = loop.nextTimerTime(); next && *next <= t; next = loop.nextTimerTime()) {
      if (*next > clock.now()) clock.set(*next);
      loop.fireNextTimerDueBy(*next);
    }
    clock.set(t);
  }
  void after(double seconds) { at(clock.now() + seconds); }

  void down(int id, Point p) { send(id, TouchPhase::Began, p); }
  void move(int id, Point p) { send(id, TouchPhase::Moved, p); }
  void up(int id) { send(id, TouchPhase::Ended, fingers_.count(id) ? fingers_[id] : Point{}); }
  void cancel(int id) {
    send(id, TouchPhase::Cancelled, fingers_.count(id) ? fingers_[id] : Point{});
  }

  // One event as given, stamped with the current time unless it has one.
  void raw(std::vector<kit::Touch> touches) { dispatcher.touchesChanged(touches); }

  void tap(Point p, int id = 1) {
    down(id, p);
    after(0.05);
    up(id);
  }

  // One finger from a to b at constant speed, one move every 1/120 s, then
  // lifted where it ends (at once, or after resting).
  void drag(Point a, Point b, double seconds, double restBeforeLift = 0, int id = 1) {
    down(id, a);
    const int steps = static_cast<int>(std::lround(seconds * 120));
    const double t0 = clock.now();
    for (int i = 1; i <= steps; ++i) {
      at(t0 + i / 120.0);
      const float u = static_cast<float>(i) / static_cast<float>(steps);
      move(id, {a.x + (b.x - a.x) * u, a.y + (b.y - a.y) * u});
    }
    after(restBeforeLift);
    up(id);
  }

  std::shared_ptr<kit::View> addView(kit::Rect frame, kit::View* parent = nullptr) {
    auto v = std::make_shared<kit::View>(frame);
    (parent ? parent : root.get())->addSubview(v);
    return v;
  }

  kit::VirtualClock clock{0};
  kit::RunLoop loop{clock};
  std::shared_ptr<kit::View> root = std::make_shared<kit::View>();
  kit::TouchDispatcher dispatcher{*root, loop};

 private:
  void send(int id, TouchPhase phase, Point p) {
    std::vector<kit::Touch> touches;
    bool listed = false;
    for (const auto& [fid, where] : fingers_) {
      if (fid == id) {
        touches.push_back({id, phase, p, clock.now()});
        listed = true;
      } else {
        touches.push_back({fid, TouchPhase::Stationary, where, clock.now()});
      }
    }
    if (!listed) touches.push_back({id, phase, p, clock.now()});
    if (phase == TouchPhase::Ended || phase == TouchPhase::Cancelled)
      fingers_.erase(id);
    else
      fingers_[id] = p;
    dispatcher.touchesChanged(touches);
  }

  std::map<int, Point> fingers_;
};

}  // namespace touchtest
