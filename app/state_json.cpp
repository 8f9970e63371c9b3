// The controller's instance variables by name, for state dumps.
#include <type_traits>

#include <nlohmann/json.hpp>

#include "app/state_fields.h"
#include "app/vitrane_view_controller.h"
#include "capture/camera_view_controller.h"
#include "help/help_panel_view_controller.h"
#include "kit/json_values.h"

namespace {

using nlohmann::json;

json toJson(double v) { return v; }
json toJson(int v) { return v; }
json toJson(std::int8_t v) { return static_cast<int>(v); }
json toJson(unsigned v) { return v; }
json toJson(bool v) { return v; }
using kit::toJson;
json toJson(const std::string& s) { return s.empty() ? json(nullptr) : json(s); }

json toJson(const kit::ImageRef& image) {
  if (!image) return nullptr;
  const kit::Size s = image->size();
  return {{"size", toJson(s)}, {"orientation", static_cast<int>(image->orientation())}};
}

json toJson(const kit::DeviceMotionRef& m) {
  if (!m) return nullptr;
  return {{"yaw", m->attitude().yaw},
          {"pitch", m->attitude().pitch},
          {"roll", m->attitude().roll},
          {"rotationRate",
           json::array({m->rotationRate().x, m->rotationRate().y, m->rotationRate().z})},
          {"gravity", json::array({m->gravity().x, m->gravity().y, m->gravity().z})},
          {"timestamp", m->timestamp()}};
}

json toJson(const std::shared_ptr<const kit::Acceleration>& a) {
  if (!a) return nullptr;
  return {{"x", a->x}, {"y", a->y}, {"z", a->z}, {"timestamp", a->timestamp}};
}

template <class G>
requires std::is_base_of_v<kit::GestureRecognizer, G> json toJson(const std::shared_ptr<G>& g) {
  if (!g) return nullptr;
  return {{"kind", g->kind()}, {"state", kit::gestureStateName(g->state())}};
}

json toJson(const std::shared_ptr<kit::PopoverController>& p) {
  if (!p) return nullptr;
  return {{"presented", p->isPresented()}, {"contentSize", toJson(p->contentSize())}};
}

json toJson(const kit::MotionManager* m) {
  if (!m) return nullptr;
  return {{"deviceMotionActive", m->isDeviceMotionActive()}};
}

json toJson(const std::shared_ptr<CameraViewController>& camera) {
  if (!camera) return nullptr;
  return {{"pickFromLibrary", camera->pickFromLibrary},
          {"cropPhoto", camera->cropPhoto},
          {"popover", toJson(camera->popover)}};
}

// The panel has nothing of its own to show, only whether it exists.
json toJson(const std::shared_ptr<HelpPanelViewController>& panel) {
  return panel ? json::object() : json(nullptr);
}

}  // namespace

nlohmann::json VitraneforiPadViewController::stateJson() const {
  json state = json::object();
  const auto put = [&state](const auto& name, const auto& value) { state[name] = toJson(value); };
  visitFields(scene, put);
  visitFields(systemSounds, put);
  visitFields(frameDriver, put);
  visitFields(velocity, put);
  visitFields(turn, put);
  visitFields(geometry, put);
  visitFields(pivot, put);
  visitFields(zoom, put);
  visitFields(tiles, put);
  visitFields(photos, put);
  visitFields(fakeScreen, put);

  // The flat-pivot mode, only when it is on: with it off the dump is what
  // it always was.
  if (flatPivotMode == FlatPivotMode::Estimate) {
    static constexpr const char* kPhases[] = {"waiting", "ready", "turning"};
    const PivotEstimate& e = flatPivot.latest;
    state["flatPivot"] = {{"mode", flatPivotModeName(flatPivotMode)},
                          {"phase", kPhases[static_cast<int>(flatPivot.phase)]},
                          {"adopted", flatPivot.adopted},
                          {"best", toJson(flatPivot.best)},
                          {"estimate", e.known ? toJson(e.pivot) : json(nullptr)},
                          {"uncertainty", e.known ? json(e.uncertainty) : json(nullptr)},
                          {"gyroBias", flatPivot.noise.gyroBias()},
                          {"lastCorrection", flatPivot.lastCorrection}};
  }

  return state;
}
