#include "render/frame_settings.h"

#include <cstdio>

namespace render {

std::string statusBarClockText(int hour, int minute) {
  hour = ((hour % 24) + 24) % 24;
  minute = ((minute % 60) + 60) % 60;
  const int twelve = hour % 12 == 0 ? 12 : hour % 12;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d:%02d %s", twelve, minute, hour < 12 ? "AM" : "PM");
  return buf;
}

}  // namespace render
