// The three short sounds: each one's resource path (empty when missing)
// and its system sound (0: silent).
#pragma once

#include <string>

#include "kit/sound.h"

struct SystemSounds {
  std::string transitSoundFileURLRef, newEnvironmentSoundFileURLRef, brakeSoundFileURLRef;
  kit::SystemSoundID transitSoundFileObject = 0, newEnvironmentSoundFileObject = 0,
                     brakeSoundFileObject = 0;

  // Every field under its name in the state dump (see visitFields).
  template <class Self, class V>
  static void fields(Self& s, V& v) {
    v("transitSoundFileURLRef", s.transitSoundFileURLRef);
    v("newEnvironmentSoundFileURLRef", s.newEnvironmentSoundFileURLRef);
    v("brakeSoundFileURLRef", s.brakeSoundFileURLRef);
    v("transitSoundFileObject", s.transitSoundFileObject);
    v("newEnvironmentSoundFileObject", s.newEnvironmentSoundFileObject);
    v("brakeSoundFileObject", s.brakeSoundFileObject);
  }
};
