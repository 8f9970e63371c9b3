#include "hosts/desktop/key_hint.h"

#include "kit/label.h"

namespace desktop {

namespace {
constexpr const char* kText =
    "Left, Right: turn the tablet\n"
    "W, S, A, D: lift top, bottom, left, right\n"
    "Space: lay it flat\n"
    "Shift + arrows: slide it\n"
    "B: the table from above\n"
    "Ctrl or Alt + drag: two fingers\n"
    "H: hide these keys";
constexpr int kLines = 7;
constexpr float kFontSize = 15;
constexpr float kLineHeight = 20;
constexpr float kMargin = 12;
constexpr float kPadding = 10;
constexpr float kWidth = 320;
constexpr float kLineWidth = 80;

std::shared_ptr<kit::View> hintPanel(const char* name, const char* text, int lines, float width) {
  const float height = static_cast<float>(lines) * kLineHeight + 2 * kPadding;
  auto panel =
      std::make_shared<kit::View>(kit::Rect{kMargin, 1024 - kMargin - height, width, height});
  panel->setName(name);
  panel->setBackgroundColor({0, 0, 0, 0.6f});
  panel->setUserInteractionEnabled(false);

  auto label = std::make_shared<kit::Label>();
  label->setFrame({kPadding, kPadding, width - 2 * kPadding, height - 2 * kPadding});
  label->setText(text);
  label->fontSize = kFontSize;
  label->textColor = kit::Color::white();
  label->numberOfLines = 0;
  panel->addSubview(label);
  return panel;
}
}  // namespace

std::shared_ptr<kit::View> makeKeyHint() { return hintPanel("keyHint", kText, kLines, kWidth); }

KeyHint::KeyHint()
    : list_(makeKeyHint()), line_(hintPanel("keyHintLine", "H: keys", 1, kLineWidth)) {
  apply();
}

void KeyHint::addTo(kit::View& window) {
  window.addSubview(list_);
  window.addSubview(line_);
}

void KeyHint::bringToFront(kit::View& window) {
  window.bringSubviewToFront(list_.get());
  window.bringSubviewToFront(line_.get());
}

void KeyHint::toggle() {
  listWanted_ = !listWanted_;
  apply();
}

void KeyHint::setScreenCovered(bool covered) {
  if (covered == covered_) return;
  covered_ = covered;
  apply();
}

KeyHint::Shown KeyHint::shown() const {
  return listWanted_ && !covered_ ? Shown::List : Shown::Line;
}

void KeyHint::apply() {
  const bool list = shown() == Shown::List;
  list_->setHidden(!list);
  line_->setHidden(list);
}

}  // namespace desktop
