// The application object: status bar, and opening outside links.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kit {

enum class StatusBarAnimation { None = 0, Fade = 1, Slide = 2 };

class Application {
 public:
  int statusBarStyle() const { return statusBarStyle_; }
  void setStatusBarStyle(int style) { statusBarStyle_ = style; }
  bool isStatusBarHidden() const { return statusBarHidden_; }
  void setStatusBarHidden(bool hidden, StatusBarAnimation animation = StatusBarAnimation::None) {
    statusBarHidden_ = hidden;
    lastStatusBarAnimation_ = animation;
  }
  StatusBarAnimation lastStatusBarAnimation() const { return lastStatusBarAnimation_; }

  // Answers whether the link could be opened. Every request is recorded.
  bool openURL(const std::string& url);
  const std::vector<std::string>& openedURLs() const { return openedURLs_; }
  // The host's way of opening a link; none: every link fails to open.
  std::function<bool(const std::string& url)> urlOpener;

 private:
  int statusBarStyle_ = 0;
  bool statusBarHidden_ = false;
  StatusBarAnimation lastStatusBarAnimation_ = StatusBarAnimation::None;
  std::vector<std::string> openedURLs_;
};

}  // namespace kit
