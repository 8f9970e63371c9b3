// A line over the top of the screen for a few seconds: what the window has
// to tell the person that the application does not show (a link no program
// could open). It takes no touches.
#pragma once

#include <memory>
#include <string>

#include "kit/label.h"
#include "kit/run_loop.h"
#include "kit/view.h"

namespace desktop {

class Notice {
 public:
  static constexpr double kSeconds = 5;

  explicit Notice(kit::RunLoop& loop);
  ~Notice();
  Notice(const Notice&) = delete;
  Notice& operator=(const Notice&) = delete;

  // The view to lay over the application's window; hidden until shown.
  const std::shared_ptr<kit::View>& view() const { return panel_; }
  // Shows text for kSeconds from now, in place of whatever was shown.
  void show(const std::string& text);
  bool isShown() const { return !panel_->isHidden(); }
  const std::string& text() const { return label_->text(); }

 private:
  kit::RunLoop& loop_;
  std::shared_ptr<kit::View> panel_;
  std::shared_ptr<kit::Label> label_;
  kit::RunLoop::TimerId hideTimer_{};
};

}  // namespace desktop
