#include "kit/button.h"

namespace kit {

void Button::setTitle(std::string title, ControlState state) {
  titles_[state] = std::move(title);
  setNeedsDisplay();
}

std::string Button::titleForState(ControlState state) const {
  if (auto it = titles_.find(state); it != titles_.end()) return it->second;
  if (auto it = titles_.find(ControlState::Normal); it != titles_.end()) return it->second;
  return {};
}

std::string Button::currentTitle() const {
  if (!enabled_) return titleForState(ControlState::Disabled);
  return titleForState(selected_ ? ControlState::Selected : ControlState::Normal);
}

void Button::setSelected(bool selected) {
  if (selected == selected_) return;
  selected_ = selected;
  setNeedsDisplay();
}

void Button::sendActions() {
  if (!enabled_) return;
  // Copy: an action may add actions.
  const auto actions = actions_;
  for (const auto& action : actions) action(this);
}

}  // namespace kit
