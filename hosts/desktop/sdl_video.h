// SDL's video and events for the time the window is open, started with the
// hints the host needs and quit when this goes (after the window).
#pragma once

#include <optional>
#include <string>

namespace desktop {

class SdlVideo {
 public:
  // Nothing, with why, when SDL cannot start or would draw nowhere: with
  // no display SDL falls back to drivers that show nothing, and the window
  // would run unseen until killed; only someone who asks for one gets it.
  static std::optional<SdlVideo> start(std::string& error);

  SdlVideo(SdlVideo&& other) noexcept : running_(other.running_) { other.running_ = false; }
  SdlVideo& operator=(SdlVideo&&) = delete;
  SdlVideo(const SdlVideo&) = delete;
  SdlVideo& operator=(const SdlVideo&) = delete;
  ~SdlVideo();

 private:
  SdlVideo() = default;
  bool running_ = true;
};

}  // namespace desktop
