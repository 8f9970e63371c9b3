// Touch delivery: turns a host's touch events into recogniser events and
// button presses.
//
// A touch goes, from the event it comes down in to the one it lifts in, to
// the recognisers of the view it came down on and of that view's
// ancestors, deepest view first (a view's own in the order they were
// added); disabled recognisers see nothing. A touch that comes down on a
// button (or inside one) is the button's alone: lifting inside it sends the
// button's actions.
//
// Which recognisers run together: a recogniser may leave Possible only if
// every other recogniser holding one of its touches (see
// GestureRecognizer::holdsTouches) may run with it, that is if either
// one's delegate answers yes; otherwise it fails. Deeper recognisers are
// offered each event first, so of two that may not run together and would
// begin on the same event, the deeper one wins.
//
// Each recogniser returns to Possible once its touches have all lifted
// (only a multi-tap waiting for its next tap keeps its progress).
//
// What the hardware sometimes sends is made harmless here: a lift or move
// of an unknown finger, a second touch-down of a finger already down (a
// move), more fingers than GestureConfig::maximumTouches (the extra ones
// are ignored to their end), a position that is not a number (ignored; a
// lift there lifts where the finger was), times out of order (held at the
// latest). A cancelled touch cancels (or fails) its recognisers.
#pragma once

#include <limits>
#include <map>
#include <memory>
#include <vector>

#include "kit/gesture_config.h"
#include "kit/gesture_recognizer.h"
#include "kit/run_loop.h"
#include "kit/touch.h"

namespace kit {

class View;

class TouchDispatcher final : public TouchSink, private GestureArena {
 public:
  // root: the window; touch locations are in its coordinates. Recognisers'
  // deadlines become timers on runLoop. Both must outlive the dispatcher.
  TouchDispatcher(View& root, RunLoop& runLoop, GestureConfig config = {});
  ~TouchDispatcher() override;
  TouchDispatcher(const TouchDispatcher&) = delete;
  TouchDispatcher& operator=(const TouchDispatcher&) = delete;

  void touchesChanged(const std::vector<Touch>& touches) override;
  // Every touch still down ends as Cancelled (the host lost its input).
  void cancelAllTouches(double time);

  const GestureConfig& config() const { return config_; }
  size_t liveTouchCount() const { return live_.size(); }
  // The view a live touch came down on; null once it has lifted, or when
  // that view is gone.
  View* hitView(int touchId) const;
  // The recognisers a live touch goes to, deepest first.
  std::vector<GestureRecognizer*> recognizersOf(int touchId) const;

 private:
  struct LiveTouch {
    int id;
    Point location;
    std::weak_ptr<View> hit;
    std::weak_ptr<View> button;  // set when a button has it
  };
  struct Change {
    int id;
    TouchPhase phase;
    Point location;
  };
  struct Participant {
    std::shared_ptr<GestureRecognizer> recognizer;
    int depth;                 // of its view in the tree
    std::vector<int> touches;  // ids, in the order they came down
  };
  struct PendingDeadline {
    std::weak_ptr<GestureRecognizer> recognizer;
    double at;
    RunLoop::TimerId timer;
  };

  // GestureArena
  const GestureConfig& gestureConfig() const override { return config_; }
  bool mayLeavePossible(GestureRecognizer& recognizer) override;

  double eventTime(const std::vector<Touch>& touches);
  std::vector<Change> acceptedChanges(const std::vector<Touch>& touches) const;
  void touchDown(const Change& change);
  void enlist(const std::shared_ptr<GestureRecognizer>& recognizer, int depth, int touchId);
  void deliver(const std::vector<Change>& changes, double time);
  void pressButtons(const std::vector<Change>& changes);
  void liftTouches(const std::vector<Change>& changes);
  void finish(const std::shared_ptr<GestureRecognizer>& recognizer);

  LiveTouch* findLive(int id);
  const LiveTouch* findLive(int id) const;
  Participant* findParticipant(const GestureRecognizer* recognizer);

  void syncDeadline(const std::shared_ptr<GestureRecognizer>& recognizer);
  void deadlineTimerFired(const GestureRecognizer* key);
  void runDeadline(const std::shared_ptr<GestureRecognizer>& recognizer, double time);
  void runDeadlinesDueBy(double time);

  View& root_;
  RunLoop& runLoop_;
  GestureConfig config_;
  std::vector<LiveTouch> live_;            // in the order they came down
  std::vector<Participant> participants_;  // deepest view first
  std::map<const GestureRecognizer*, PendingDeadline> deadlines_;
  double lastTime_ = -std::numeric_limits<double>::infinity();
};

}  // namespace kit
