// A button: a title per control state, a selected flag, and the actions
// sent when it is pressed.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "kit/view.h"

namespace kit {

enum class ControlState { Normal, Highlighted, Selected, Disabled };

class Button : public View {
 public:
  using Action = std::function<void(View* sender)>;

  std::string className() const override { return "Button"; }

  // The title shown in a state falls back to the Normal one, as on the
  // platform.
  void setTitle(std::string title, ControlState state);
  std::string titleForState(ControlState state) const;
  std::string currentTitle() const;

  bool isSelected() const { return selected_; }
  void setSelected(bool selected);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }

  void addAction(Action action) { actions_.push_back(std::move(action)); }
  // A completed press: the actions in the order they were added.
  void sendActions();

  float fontSize = 17;
  Color titleColor = Color::white();

 private:
  std::map<ControlState, std::string> titles_;
  std::vector<Action> actions_;
  bool selected_ = false;
  bool enabled_ = true;
};

}  // namespace kit
