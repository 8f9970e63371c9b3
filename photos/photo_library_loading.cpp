// Loading photos from the library and dropping them on the table: the first
// request loads up to ten photos, later ones show or hide them.
#include <cmath>
#include <memory>
#include <numbers>

#include "app/vitrane_view_controller.h"
#include "kit/log.h"
#include "kit/photo_library.h"
#include "photos/moving_image_view.h"

namespace {

constexpr int kPhotosPerLoad = 10;
constexpr int kDropRadius = 800;  // points about the table's centre
constexpr int kAlbumsEnumerated = 50;
constexpr double kFramesPerSecond = 120;
constexpr double kSpinRadians = 5;  // turned in one to five seconds

}  // namespace

void VitraneforiPadViewController::wanderInPhotos(Sender) {
  photos.nThumbnails = kPhotosPerLoad;
  photos.thumbnailMaxRadius = kDropRadius;
  photos.nGroupsEnumerated = 0;
  photos.nAssetsEnumerated = 0;

  if (photos.loadedPhotos) {
    if (photos.showingPhotos) {
      hidePhotos();
      outlets.wanderIntoPhotosButton->setSelected(false);
    } else {
      showPhotos();
      hideInstructionsPanel();
      outlets.wanderIntoPhotosButton->setSelected(true);
    }
    return;
  }

  outlets.waitSpinner->setHidden(false);
  outlets.waitSpinner->startAnimating();

  // The enumeration keeps the library alive until its last callback.
  auto library = std::make_shared<kit::AssetsLibrary>(platform_);
  auto assetBlock = [this](const std::shared_ptr<kit::Asset>& asset) {
    if (!asset) return;
    if (photos.nAssetsEnumerated >= photos.nThumbnails) return;
    const auto& representation = asset->defaultRepresentation();
    // A file that looked like a photo but does not decode is passed over
    // (the library has said why) and leaves its place to the next.
    if (!representation->fullScreenImage()) return;
    kit::log("Asset representation is %@", *representation);
    dropRepresentationOnTable(*representation, photos.thumbnailMaxRadius);
    ++photos.nAssetsEnumerated;
  };
  auto groupBlock = [this, assetBlock](const std::shared_ptr<kit::AssetsGroup>& group) {
    if (!group) {
      // The enumeration is over.
      if (photos.showingPhotos) return;
      photos.loadedPhotos = true;
      showPhotos();
      outlets.waitSpinner->stopAnimating();
      outlets.wanderIntoPhotosButton->setTitle("Hide Photos", kit::ControlState::Selected);
      outlets.wanderIntoPhotosButton->setTitle("Show Photos", kit::ControlState::Normal);
      outlets.wanderIntoPhotosButton->setSelected(true);
      hideInstructionsPanel();
      return;
    }
    if (photos.nGroupsEnumerated < kAlbumsEnumerated) {
      kit::log("Group PropertyName is %@",
               group->valueForProperty(kit::AssetsGroup::kPropertyName));
      group->setAssetsFilter(kit::AssetsFilter::AllPhotos);
      group->enumerateAssetsUsingBlock(assetBlock);
    }
    ++photos.nGroupsEnumerated;
    kit::log("%d groups enumerated", photos.nGroupsEnumerated);
  };
  auto failureBlock = [](const kit::PhotoLibraryError& error) { kit::log("The error %@", error); };
  library->enumerateGroupsWithTypes(kit::kAssetsGroupAlbum, groupBlock, failureBlock);
}

void VitraneforiPadViewController::dropRepresentationOnTable(
    const kit::AssetRepresentation& representation, int radius) {
  auto piece = std::make_shared<MovingImageView>(representation.fullScreenImage());
  kit::log("Adding the %d'th wandering image", photos.nAssetsEnumerated);
  const kit::Rect frame = piece->frame();
  kit::log("Frame is %1.1fx%1.1f", frame.size.width, frame.size.height);

  // The draws are taken in this order, one each.
  kit::RandomSource& random = platform_.random();
  const std::uint32_t r = static_cast<std::uint32_t>(std::max(radius, 1));
  const std::uint32_t a = random.next();
  const std::uint32_t b = random.next();
  const double shiftX = 2.0 * (a % r) - radius;
  const double shiftY = 2.0 * (b % r) - radius;
  kit::log("Album photo coordinates are shift of %1.0f,%1.0f", shiftX, shiftY);

  const std::uint32_t c = random.next();
  const kit::Point table = outlets.tableTopView->center();
  piece->setCenter({static_cast<float>(table.x + shiftX), static_cast<float>(table.y + shiftY)});

  const std::uint32_t d = random.next();
  piece->yawRadians = static_cast<float>((d % 360) * std::numbers::pi / 180);

  const std::uint32_t e = random.next();
  const std::uint32_t f = random.next();
  if (f % 4 != 1) {
    const std::uint32_t g = random.next();
    const double sign = (e % 2 == 1) ? 1 : -1;
    piece->radiansPerFrame = sign * kSpinRadians / (kFramesPerSecond * (1 + g % 5));
  }

  const float k = 1.0f / static_cast<float>(2 + c % 3);
  piece->setTransform(
      kit::rotated(kit::AffineTransform::makeScale(k, k), static_cast<float>(piece->yawRadians)));

  outlets.photosLayerView->addSubview(piece);
  addGestureRecognizersToPiece(*piece);
}
