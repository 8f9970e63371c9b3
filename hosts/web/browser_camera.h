// The camera in a browser: the page takes the photo (its file chooser's
// camera, or the camera stream) and hands it in; the picker then takes
// that still as its camera's.
#pragma once

#include <string>

#include "kit/image_picker.h"

namespace web {

class BrowserCamera final : public kit::Camera {
 public:
  bool isAvailable() override { return available_; }
  kit::Result<kit::ImageRef> captureStill() override {
    kit::ImageRef still = std::move(still_);
    still_ = nullptr;
    if (!still) return kit::Error{"the browser gave no photo"};
    return still;
  }

  void setAvailable(bool available) { available_ = available; }
  // The next still, upright.
  void setStill(kit::ImageRef still) { still_ = std::move(still); }

 private:
  bool available_ = false;
  kit::ImageRef still_;
};

}  // namespace web
