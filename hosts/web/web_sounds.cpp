#include "hosts/web/web_sounds.h"

#include "hosts/web/page_bridge.h"
#include "kit/aiff.h"
#include <cstdio>

namespace web {

void WebSounds::play(const std::string& path) {
  if (unplayable_.count(path)) return;
  if (!registered_.count(path)) {
    const kit::AiffSound sound = kit::decodeAiffFile(path);
    if (!sound) {
      // Said once; the sound stays silent, as a missing one does.
      unplayable_.insert(path);
      std::fprintf(stderr, "vitrane: cannot play the sound %s: %s\n", path.c_str(),
                   sound.error.c_str());
      return;
    }
    registerSound(path, sound.channels, sound.sampleRate, sound.samples.data(),
                  sound.samples.size());
    registered_.insert(path);
  }
  playSound(path);
}

}  // namespace web
