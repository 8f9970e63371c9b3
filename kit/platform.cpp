#include "kit/platform.h"

#include "kit/image_picker_views.h"

namespace kit {

Platform::Platform(const Clock& clock, MotionSource& motion, std::string resourceDir)
    : clock_(clock),
      previousClock_(mainClock()),
      motion_(motion),
      runLoop_(clock),
      motionManager_(motion, clock),
      accelerometer_(motion, runLoop_),
      bundle_(std::move(resourceDir)) {
  setMainClock(&clock_);
  imagePickers_.backgroundQueue = &backgroundQueue_;
  // The picker's grid shows the library the host points at.
  imagePickers_.libraryPhotoPaths = [this] {
    return photoLibrarySource_.refused ? std::vector<std::string>{}
                                       : listLibraryPhotoPaths(photoLibrarySource_.root);
  };
  // A library the user fills on demand (the browser's file picker) has no
  // folder worth naming.
  imagePickers_.libraryLocation = [this] {
    return photoLibrarySource_.prepare ? std::string() : photoLibrarySource_.root;
  };
}

Platform::~Platform() { setMainClock(previousClock_); }

}  // namespace kit
