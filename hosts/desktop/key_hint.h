// The list of keys shown over the screen, and the one line that stays when
// it is hidden or when the fake home screen covers the screen (the list
// would spoil the trick).
#pragma once

#include <memory>

#include "kit/view.h"

namespace desktop {

// The list alone: a panel for the bottom-left corner of the 768 × 1024
// screen. It takes no touches: fingers reach the application's views
// beneath it.
std::shared_ptr<kit::View> makeKeyHint();

class KeyHint {
 public:
  enum class Shown { List, Line };

  KeyHint();
  // Lays both over the window's views; call again after the application
  // adds views of its own, to stay on top.
  void addTo(kit::View& window);
  void bringToFront(kit::View& window);

  // H: the list, or the line that says how to get it back.
  void toggle();
  // While the fake home screen covers the screen, only the line shows.
  void setScreenCovered(bool covered);
  Shown shown() const;

  const std::shared_ptr<kit::View>& list() const { return list_; }
  const std::shared_ptr<kit::View>& line() const { return line_; }

 private:
  void apply();

  std::shared_ptr<kit::View> list_;
  std::shared_ptr<kit::View> line_;
  bool listWanted_ = true;
  bool covered_ = false;
};

}  // namespace desktop
