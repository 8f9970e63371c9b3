#include "hosts/web/page_bridge.h"

#include <emscripten.h>

#include <cstdlib>

// The page object may be missing (the module run on its own, in a test):
// every call then does nothing, and the log falls back to the console.
EM_JS(void, vitrane_console_line, (const char* line), {
  const text = UTF8ToString(line);
  if (globalThis.vitranePage && vitranePage.log)
    vitranePage.log(text);
  else
    console.log(text);
});

EM_JS(void, vitrane_register_sound,
      (const char* name, int channels, double rate, const float* samples, int count), {
        if (!globalThis.vitranePage || !vitranePage.registerSound) return;
        const copy = HEAPF32.slice(samples >> 2, (samples >> 2) + count);
        vitranePage.registerSound(UTF8ToString(name), channels, rate, copy);
      });

EM_JS(void, vitrane_play_sound, (const char* name), {
  if (globalThis.vitranePage && vitranePage.playSound) vitranePage.playSound(UTF8ToString(name));
});

EM_JS(void, vitrane_choose_files, (int choice), {
  if (globalThis.vitranePage && vitranePage.chooseFiles) vitranePage.chooseFiles(choice);
});

EM_JS(void, vitrane_offer_saved_photo, (const char* name, const unsigned char* bytes, int size), {
  if (!globalThis.vitranePage || !vitranePage.offerSavedPhoto) return;
  vitranePage.offerSavedPhoto(UTF8ToString(name), HEAPU8.slice(bytes, bytes + size));
});

EM_JS(int, vitrane_open_link, (const char* url), {
  if (!globalThis.vitranePage || !vitranePage.openLink) return 0;
  return vitranePage.openLink(UTF8ToString(url)) ? 1 : 0;
});

EM_JS(void, vitrane_motion_origin, (int origin), {
  if (globalThis.vitranePage && vitranePage.motionOrigin) vitranePage.motionOrigin(origin);
});

EM_JS(void, vitrane_first_frame, (), {
  if (globalThis.vitranePage && vitranePage.firstFrame) vitranePage.firstFrame();
});

EM_JS(char*, vitrane_page_parameter, (const char* name), {
  const value = new URLSearchParams(location.search).get(UTF8ToString(name)) || "";
  const size = lengthBytesUTF8(value) + 1;
  const text = _malloc(size);
  stringToUTF8(value, text, size);
  return text;
});

namespace web {

void consoleLine(const std::string& line) { vitrane_console_line(line.c_str()); }

void registerSound(const std::string& name, int channels, double sampleRate, const float* samples,
                   std::size_t count) {
  vitrane_register_sound(name.c_str(), channels, sampleRate, samples, static_cast<int>(count));
}

void playSound(const std::string& name) { vitrane_play_sound(name.c_str()); }

void chooseFiles(FileChoice choice) { vitrane_choose_files(static_cast<int>(choice)); }

void offerSavedPhoto(const std::string& name, const std::uint8_t* bytes, std::size_t size) {
  vitrane_offer_saved_photo(name.c_str(), bytes, static_cast<int>(size));
}

bool openLink(const std::string& url) { return vitrane_open_link(url.c_str()) != 0; }

void motionOriginChanged(MotionOrigin origin) { vitrane_motion_origin(static_cast<int>(origin)); }

void firstFrameShown() { vitrane_first_frame(); }

std::string pageParameter(const std::string& name) {
  char* text = vitrane_page_parameter(name.c_str());
  std::string value = text ? text : "";
  std::free(text);
  return value;
}

}  // namespace web
