// System sounds: short sounds registered from bundle resources and played
// by identifier. Every play is recorded by resource name; a host that can
// make sound installs a player.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kit {

using SystemSoundID = std::uint32_t;  // 0: none

class SoundSystem {
 public:
  // Registers the sound file at path; 0 when there is no such file.
  SystemSoundID createSystemSound(const std::string& path);
  void disposeSystemSound(SystemSoundID id);
  // Plays a registered sound; an unknown or disposed identifier is silent.
  void playSystemSound(SystemSoundID id);

  // Resource names (file name without folder and extension) in play order.
  const std::vector<std::string>& played() const { return played_; }
  bool isRegistered(SystemSoundID id) const { return sounds_.count(id) != 0; }

  // Makes the sound audible; called with the file's path on every play.
  std::function<void(const std::string& path)> player;

 private:
  std::map<SystemSoundID, std::string> sounds_;
  SystemSoundID next_ = 4096;
  std::vector<std::string> played_;
};

}  // namespace kit
