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
}  // namespace

std::shared_ptr<kit::View> makeKeyHint() {
  const float height = kLines * kLineHeight + 2 * kPadding;
  auto panel = std::make_shared<kit::View>(kit::Rect{kMargin, 1024 - kMargin - height, kWidth, height});
  panel->setName("keyHint");
  panel->setBackgroundColor({0, 0, 0, 0.6f});
  panel->setUserInteractionEnabled(false);

  auto label = std::make_shared<kit::Label>();
  label->setFrame({kPadding, kPadding, kWidth - 2 * kPadding, height - 2 * kPadding});
  label->setText(kText);
  label->fontSize = kFontSize;
  label->textColor = kit::Color::white();
  label->numberOfLines = 0;
  panel->addSubview(label);
  return panel;
}

}  // namespace desktop
