// Everything the platform gives one running application: its clock and run
// loop, motion services, sounds, application object and resources. A host
// makes one, with the clock and the motion source of its world, and hands
// it to the application.
#pragma once

#include "kit/application.h"
#include "kit/background_queue.h"
#include "kit/bundle.h"
#include "kit/clock.h"
#include "kit/image_picker.h"
#include "kit/motion.h"
#include "kit/photo_library.h"
#include "kit/random_source.h"
#include "kit/run_loop.h"
#include "kit/sound.h"

namespace kit {

class Platform {
 public:
  // Installs clock as the main clock for the platform's lifetime.
  Platform(const Clock& clock, MotionSource& motion, std::string resourceDir);
  ~Platform();
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;

  const Clock& clock() const { return clock_; }
  double now() const { return clock_.now(); }
  RunLoop& runLoop() { return runLoop_; }
  MotionSource& motionSource() { return motion_; }
  MotionManager& motionManager() { return motionManager_; }
  Accelerometer& accelerometer() { return accelerometer_; }
  SoundSystem& sounds() { return sounds_; }
  Application& application() { return application_; }
  Bundle& bundle() { return bundle_; }
  RandomSource& random() { return random_; }
  // Where the photo library is; hosts set it before the application asks.
  PhotoLibrarySource& photoLibrarySource() { return photoLibrarySource_; }
  // Work off the main thread (decoding library photos).
  BackgroundQueue& backgroundQueue() { return backgroundQueue_; }
  // The image picker's sources and the saved-photos album.
  ImagePickerServices& imagePickers() { return imagePickers_; }

 private:
  const Clock& clock_;
  const Clock* previousClock_;
  MotionSource& motion_;
  RunLoop runLoop_;
  MotionManager motionManager_;
  Accelerometer accelerometer_;
  SoundSystem sounds_;
  Application application_;
  Bundle bundle_;
  RandomSource random_;
  ImagePickerServices imagePickers_;
  PhotoLibrarySource photoLibrarySource_;
  // After the run loop, so its worker is joined before the loop goes.
  BackgroundQueue backgroundQueue_{runLoop_};
};

}  // namespace kit
