#include "fuzz/entry_points.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "fakescreen/rubbed_view.h"
#include "hosts/headless/scenario.h"
#include "kit/image_codec.h"
#include "kit/interface_loader.h"

namespace fuzzing {

namespace {

// A finding the sanitizers would not see by themselves: a result that
// breaks its own contract.
void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

void scenarioInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<std::string> actions = VitraneforiPadViewController::actionNames();
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    headless::parseScenario(text, "fuzz.scn", "/nonexistent/fuzz", actions);
  } catch (const headless::ScenarioError&) {
  }
}

void interfaceInput(const std::uint8_t* data, std::size_t size) {
  // Every outlet either interface file connects, each taking any view.
  static const char* const kOutlets[] = {"bigDisplay",
                                         "bottomEdge",
                                         "cropLibraryTileButton",
                                         "deviceShadowView",
                                         "iPhoneDesktopView",
                                         "iPhoneInnardsView",
                                         "insideBottomLeft",
                                         "insideBottomRight",
                                         "insideTopLeft",
                                         "insideTopRight",
                                         "instructionsView",
                                         "leftEdge",
                                         "offsetView",
                                         "photosLayerView",
                                         "prizeImageView",
                                         "pushpinImageView",
                                         "rateAppButton",
                                         "rightEdge",
                                         "rotatingView",
                                         "rubMaskView",
                                         "rubberImageView",
                                         "screenView",
                                         "seamlessTiles",
                                         "showFakeScreenButton",
                                         "stretcherView",
                                         "tableBoundaryView",
                                         "tableTopView",
                                         "takePhotoButton",
                                         "tapTrackerView",
                                         "telescoperView",
                                         "topEdge",
                                         "usePhotoLibraryButton",
                                         "visitQuillfenButton",
                                         "waitSpinner",
                                         "wanderIntoPhotosButton"};
  static const char* const kActions[] = {
      "cropLibraryTile",      "showFakeScreen", "takeCameraPhoto", "useLibraryPhoto",
      "visitAppStoreListing", "visitWebSite",   "wanderInPhotos"};
  static const auto loader = [] {
    auto l = std::make_unique<kit::InterfaceLoader>();
    l->registerClass("RubbedView", [] { return std::make_shared<RubbedView>(); });
    auto bitmap = std::make_shared<kit::Bitmap>(kit::Bitmap::make(2, 3, kit::PixelFormat::RGBA8));
    auto image = std::make_shared<const kit::Image>(bitmap);
    l->setImageProvider(
        [image](const std::string& name) { return name.size() % 2 ? image : kit::ImageRef(); });
    return l;
  }();

  std::vector<kit::ViewRef> slots(std::size(kOutlets));
  std::vector<kit::OutletBinding> outlets;
  for (std::size_t i = 0; i < slots.size(); ++i)
    outlets.push_back(kit::bindOutlet(kOutlets[i], slots[i]));
  const kit::ActionResolver actions = [](const std::string& name) -> kit::Button::Action {
    for (const char* known : kActions)
      if (name == known) return [](kit::View*) {};
    return {};
  };

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const kit::ViewRef root = loader->loadString(text, "fuzz.json", outlets, actions);
    check(root != nullptr);
  } catch (const kit::InterfaceError&) {
    // A failed load assigns no outlet.
    for (const auto& slot : slots) check(slot == nullptr);
  }
}

void imageInput(const std::uint8_t* data, std::size_t size) {
  kit::DecodeOptions options;
  // Small enough that the fuzzer's memory limit is never the finding.
  options.maxPixels = 4'000'000;
  if (size > 1) {
    const std::uint8_t pick = data[0];
    ++data;
    --size;
    static const kit::Size kFits[] = {{0, 0},  {64, 64},  {1, 1},  {100, 0},
                                      {0, 37}, {3, 5000}, {-1, 8}, {512, 384}};
    options.fitWithin = kFits[pick & 7];
    options.applyOrientationToPixels = (pick & 8) != 0;
  }
  const auto result = kit::decodeImage(data, size, options);
  if (!result) {
    check(!result.error().message.empty());
    return;
  }
  const kit::Bitmap& bitmap = *result->bitmap;
  check(bitmap.width > 0 && bitmap.height > 0);
  check(static_cast<std::uint64_t>(bitmap.width) * static_cast<std::uint64_t>(bitmap.height) <=
        options.maxPixels);
  check(bitmap.pixels.size() == bitmap.rowBytes() * static_cast<std::size_t>(bitmap.height));
  if (options.applyOrientationToPixels) check(result->orientation == kit::ImageOrientation::Up);
  if (options.fitWithin.width > 0) {
    const double shown = kit::isQuarterTurned(result->orientation) ? bitmap.height : bitmap.width;
    check(shown <= options.fitWithin.width);
  }
  if (options.fitWithin.height > 0) {
    const double shown = kit::isQuarterTurned(result->orientation) ? bitmap.width : bitmap.height;
    check(shown <= options.fitWithin.height);
  }
  check(kit::encodePng(bitmap).ok());
}

}  // namespace fuzzing
