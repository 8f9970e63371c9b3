// The application's sounds through Web Audio. Browsers do not all decode
// AIFF, so each sound file is decoded here (kit/aiff.h) the first time it
// plays and handed to the page as samples.
#pragma once

#include <set>
#include <string>

namespace web {

class WebSounds {
 public:
  // path: the sound file the kit plays.
  void play(const std::string& path);

 private:
  std::set<std::string> registered_;
  std::set<std::string> unplayable_;
};

}  // namespace web
