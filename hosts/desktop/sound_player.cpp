#include "hosts/desktop/sound_player.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>

namespace desktop {

namespace {
// Enough voices that a burst of short sounds overlaps instead of cutting
// itself off.
constexpr int kChannels = 16;
}  // namespace

SoundPlayer::SoundPlayer() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "vitrane: no sound (%s)\n", SDL_GetError());
    return;
  }
  if (Mix_OpenAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
    std::fprintf(stderr, "vitrane: no sound (%s)\n", Mix_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  Mix_AllocateChannels(kChannels);
  open_ = true;
}

SoundPlayer::~SoundPlayer() {
  if (!open_) return;
  Mix_HaltChannel(-1);
  for (auto& [path, chunk] : chunks_)
    if (chunk) Mix_FreeChunk(chunk);
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SoundPlayer::play(const std::string& path) {
  if (!open_) return;
  auto it = chunks_.find(path);
  if (it == chunks_.end()) {
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
    if (!chunk)
      std::fprintf(stderr, "vitrane: cannot play %s (%s)\n", path.c_str(), Mix_GetError());
    it = chunks_.emplace(path, chunk).first;
  }
  if (it->second) Mix_PlayChannel(-1, it->second, 0);
}

}  // namespace desktop
