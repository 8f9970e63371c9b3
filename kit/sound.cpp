#include "kit/sound.h"

#include <filesystem>

namespace kit {

SystemSoundID SoundSystem::createSystemSound(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return 0;
  const SystemSoundID id = next_++;
  sounds_[id] = path;
  return id;
}

void SoundSystem::disposeSystemSound(SystemSoundID id) { sounds_.erase(id); }

void SoundSystem::playSystemSound(SystemSoundID id) {
  auto it = sounds_.find(id);
  if (it == sounds_.end()) return;
  played_.push_back(std::filesystem::path(it->second).stem().string());
  if (player) player(it->second);
}

}  // namespace kit
