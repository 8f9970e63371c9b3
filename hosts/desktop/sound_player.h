// Makes the platform's system sounds audible through SDL_mixer.
#pragma once

#include <map>
#include <string>

struct Mix_Chunk;

namespace desktop {

class SoundPlayer {
 public:
  // Opens the audio device. Without one the application runs silent, with
  // one warning on standard error.
  SoundPlayer();
  ~SoundPlayer();
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  bool isOpen() const { return open_; }

  // Plays the file over whatever else is playing. Each file is decoded once;
  // one that cannot be decoded is reported once and stays silent.
  void play(const std::string& path);

 private:
  bool open_ = false;
  std::map<std::string, Mix_Chunk*> chunks_;  // null: could not be loaded
};

}  // namespace desktop
