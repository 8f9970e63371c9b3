// The page's way in: main() launches the application, and the page's
// event handlers (hosts/web/page/vitrane-page.js) call these functions as
// their events arrive, on the page's one thread.
#include <emscripten.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "hosts/web/web_host.h"

namespace {

std::unique_ptr<web::WebHost> host;
std::string lastState;

}  // namespace

EM_JS(void, vitrane_page_ready, (), {
  if (globalThis.vitranePage && vitranePage.ready) vitranePage.ready();
});

EM_JS(void, vitrane_page_failed, (const char* why), {
  const text = UTF8ToString(why);
  if (globalThis.vitranePage && vitranePage.failed)
    vitranePage.failed(text);
  else
    console.error(text);
});

extern "C" {

EMSCRIPTEN_KEEPALIVE void vitrane_frame() {
  if (host) host->frame();
}

EMSCRIPTEN_KEEPALIVE void vitrane_resize(double cssWidth, double cssHeight, int pixelWidth,
                                         int pixelHeight) {
  if (host) host->resize(cssWidth, cssHeight, pixelWidth, pixelHeight);
}

EMSCRIPTEN_KEEPALIVE void vitrane_pointer(int action, int id, int isMouse, double x, double y,
                                          int mirror) {
  if (!host || action < 0 || action > 3) return;
  host->pointer(static_cast<web::WebHost::PointerAction>(action), id, isMouse != 0, x, y,
                mirror != 0);
}

EMSCRIPTEN_KEEPALIVE void vitrane_cancel_touches() {
  if (host) host->cancelTouches();
}

EMSCRIPTEN_KEEPALIVE void vitrane_key(int down, const char* code, int shift, int repeat) {
  if (host && code) host->key(down != 0, code, shift != 0, repeat != 0);
}

// Angles in degrees and accelerations in m/s² as the browser gives them; a
// value the browser left null arrives as NaN.
EMSCRIPTEN_KEEPALIVE void vitrane_orientation(double alpha, double beta, double gamma) {
  if (host) host->motionReadings().onOrientation(alpha, beta, gamma);
}

EMSCRIPTEN_KEEPALIVE void vitrane_motion(double ax, double ay, double az, double gx, double gy,
                                         double gz, double rateAlpha, double rateBeta,
                                         double rateGamma, double intervalMs) {
  if (host)
    host->motionReadings().onMotion({ax, ay, az}, {gx, gy, gz}, {rateAlpha, rateBeta, rateGamma},
                                    intervalMs);
}

EMSCRIPTEN_KEEPALIVE void vitrane_screen_angle(double degrees) {
  if (host) host->motionReadings().setScreenAngle(degrees);
}

// Safari gives accelerations with the opposite sign to Chrome's.
EMSCRIPTEN_KEEPALIVE void vitrane_acceleration_sign(int safari) {
  if (host)
    host->motionReadings().setAccelerationSign(safari ? web::AccelerationSign::MinusZFaceUp
                                                      : web::AccelerationSign::PlusZFaceUp);
}

EMSCRIPTEN_KEEPALIVE void vitrane_camera_available(int available) {
  if (host) host->setCameraAvailable(available != 0);
}

EMSCRIPTEN_KEEPALIVE void vitrane_library_chosen(int count) {
  if (host) host->libraryChosen(count);
}

EMSCRIPTEN_KEEPALIVE void vitrane_photo_chosen(const char* path, const char* name) {
  if (host && path) host->photoChosen(path, name ? name : path);
}

EMSCRIPTEN_KEEPALIVE void vitrane_photo_cancelled() {
  if (host) host->photoChoiceCancelled();
}

EMSCRIPTEN_KEEPALIVE void vitrane_context_lost() {
  if (host) host->contextLost();
}

EMSCRIPTEN_KEEPALIVE void vitrane_context_restored() {
  if (host) host->contextRestored();
}

// The runner's state dump (JSON), valid until the next call.
EMSCRIPTEN_KEEPALIVE const char* vitrane_state() {
  lastState = host ? host->stateJson() : "{}";
  return lastState.c_str();
}

}  // extern "C"

int main() {
  try {
    host = std::make_unique<web::WebHost>("#screen");
    host->launch();
  } catch (const std::exception& e) {
    vitrane_page_failed(e.what());
    host.reset();
    return 1;
  }
  vitrane_page_ready();
  return 0;
}
