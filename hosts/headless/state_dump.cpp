#include "hosts/headless/state_dump.h"

#include <charconv>

#include "fakescreen/rubbed_view.h"
#include "kit/json_values.h"
#include "photos/moving_image_view.h"

namespace headless {

using nlohmann::json;

namespace {

json viewJson(const kit::View& v) {
  return {{"frame", kit::toJson(v.frame())},
          {"bounds", kit::toJson(v.bounds())},
          {"center", kit::toJson(v.center())},
          {"transform", kit::toJson(v.transform())},
          {"anchorPoint", kit::toJson(v.anchorPoint())},
          {"alpha", kit::tidy(v.alpha())},
          {"hidden", v.isHidden()},
          {"userInteractionEnabled", v.isUserInteractionEnabled()},
          {"subviews", v.subviews().size()}};
}

json pieceJson(const kit::View& piece) {
  json j = {{"center", kit::toJson(piece.center())},
            {"bounds", kit::toJson(piece.bounds())},
            {"transform", kit::toJson(piece.transform())}};
  if (const auto* moving = dynamic_cast<const MovingImageView*>(&piece)) {
    j["velocityPerFrame"] = kit::toJson(moving->velocityPerFrame);
    j["radiansPerFrame"] = moving->radiansPerFrame;
    j["prevRotation"] = moving->prevRotation;
    j["yawRadians"] = moving->yawRadians;
  }
  if (const auto* image = dynamic_cast<const kit::ImageView*>(&piece)) {
    const kit::ImageRef& picture = image->image();
    j["imageSize"] = picture ? kit::toJson(picture->size()) : json(nullptr);
    j["imageOrientation"] =
        picture ? json(static_cast<int>(picture->orientation())) : json(nullptr);
  }
  return j;
}

json rubbedJson(const RubbedView* rubbed) {
  if (!rubbed) return nullptr;
  return {{"begunRub", rubbed->begunRub},
          {"rubbedRect", kit::toJson(rubbed->rubbedRect)},
          {"isMidPan", rubbed->isMidPan},
          {"erased", rubbed->erasedFraction()}};
}

}  // namespace

json stateDump(const VitraneforiPadViewController& controller, kit::Platform& platform,
               std::uint64_t frame, double time) {
  json state = {{"frame", frame}, {"time", time}};
  state.update(controller.stateJson());

  json views = json::object();
  for (const auto& [name, view] : controller.outletViews())
    views[name] = view ? viewJson(*view) : json(nullptr);
  state["views"] = std::move(views);

  json pieces = json::array();
  if (controller.outlets.photosLayerView)
    for (const auto& piece : controller.outlets.photosLayerView->subviews())
      pieces.push_back(pieceJson(*piece));
  state["pieces"] = std::move(pieces);

  state["rubbed"] = rubbedJson(controller.outlets.iPhoneDesktopView.get());
  state["sounds"] = platform.sounds().played();
  state["openedURLs"] = platform.application().openedURLs();
  state["savedPhotos"] = platform.imagePickers().savedPhotosAlbum().savedCount();
  state["statusBarHidden"] = platform.application().isStatusBarHidden();
  return state;
}

const kit::View* findProbeView(const VitraneforiPadViewController& controller,
                               const std::string& name) {
  if (name.rfind("piece:", 0) == 0) {
    const std::string digits = name.substr(6);
    size_t index = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) return nullptr;
    if (!controller.outlets.photosLayerView) return nullptr;
    const auto& pieces = controller.outlets.photosLayerView->subviews();
    return index < pieces.size() ? pieces[index].get() : nullptr;
  }
  for (const auto& [outlet, view] : controller.outletViews())
    if (outlet == name) return view;
  return nullptr;
}

}  // namespace headless
