// Placing the chain of world views for a centred, unrotated, unzoomed world.
#include "app/vitrane_view_controller.h"

namespace {
constexpr float kWorldSize = 4096;
constexpr float kWorldHalf = kWorldSize / 2;
}  // namespace

void VitraneforiPadViewController::recenter(Sender) {
  currentAnchor = {static_cast<float>(screenWidth / 2), static_cast<float>(screenHeight / 2)};
  offsetView->setFrame({-kWorldHalf, -kWorldHalf, kWorldSize, kWorldSize});
  rotatingView->setFrame({0, 0, kWorldSize, kWorldSize});
  // Centred on the pivot, so the heading rotation turns the picture about it.
  rotatingView->setCenter({currentAnchor.x + kWorldHalf, currentAnchor.y + kWorldHalf});
  tableTopView->setFrame({static_cast<float>(screenWidth / 2),
                          static_cast<float>(screenHeight / 2), kWorldSize, kWorldSize});
  resetTable();
}

void VitraneforiPadViewController::resetTable() {
  tableTopView->setCenter({kWorldHalf, kWorldHalf});
  stretcherView->setTransform(kit::AffineTransform::identity());
  telescoperView->setTransform(kit::AffineTransform::identity());
  adjustTelescopeCenter(centerAnchor);
}
