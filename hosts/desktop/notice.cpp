#include "hosts/desktop/notice.h"

namespace desktop {

namespace {
const kit::Rect kFrame{84, 40, 600, 44};  // under the status bar, across the screen's middle
constexpr float kPadding = 12;
}  // namespace

Notice::Notice(kit::RunLoop& loop) : loop_(loop) {
  panel_ = std::make_shared<kit::View>(kFrame);
  panel_->setName("notice");
  panel_->setBackgroundColor({0.1f, 0.1f, 0.12f, 0.85f});
  panel_->setUserInteractionEnabled(false);
  panel_->setHidden(true);
  label_ = std::make_shared<kit::Label>();
  label_->setFrame({kPadding, 0, kFrame.size.width - 2 * kPadding, kFrame.size.height});
  label_->textAlignment = kit::TextAlignment::Center;
  label_->textColor = kit::Color::white();
  label_->fontSize = 16;
  panel_->addSubview(label_);
}

Notice::~Notice() { loop_.invalidateTimer(hideTimer_); }

void Notice::show(const std::string& text) {
  label_->setText(text);
  panel_->setHidden(false);
  loop_.invalidateTimer(hideTimer_);
  hideTimer_ =
      loop_.scheduleTimer(loop_.clock().now() + kSeconds, [this] { panel_->setHidden(true); });
}

}  // namespace desktop
