// Calls from the application's host into the page around it
// (hosts/web/page/vitrane-page.js, the object window.vitranePage): what
// only the browser can do. Each is one call into JavaScript.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace web {

// One line of the debug log, as one console call.
void consoleLine(const std::string& line);

// Web Audio: a sound's samples (interleaved, −1..1) under its name, then
// plays of it by name.
void registerSound(const std::string& name, int channels, double sampleRate, const float* samples,
                   std::size_t count);
void playSound(const std::string& name);

// What the page's file inputs are asked to choose.
enum class FileChoice : int {
  Library = 0,  // several photos (or a folder) for the photo library
  Photo = 1,    // one photo for a picker
  Camera = 2,   // a photo taken now, through the camera
};
// Opens the browser's chooser (at once when a touch is being handled, else
// from a button the page shows); the answer comes back through the
// page's calls into the host.
void chooseFiles(FileChoice choice);

// Hands a saved picture to the user: the share sheet where there is one,
// else a download.
void offerSavedPhoto(const std::string& name, const std::uint8_t* bytes, std::size_t size);

// Opens a link in a new tab (noopener); false when the browser refused.
bool openLink(const std::string& url);

// Where motion comes from now, for the page's hint line.
enum class MotionOrigin : int { Waiting = 0, Sensors = 1, SimulatedTablet = 2 };
void motionOriginChanged(MotionOrigin origin);

// The first picture is on the screen.
void firstFrameShown();

// A parameter of the page's address (?name=value); empty when it has none.
std::string pageParameter(const std::string& name);

}  // namespace web
