// Placing the chain of world views for a centred, unrotated, unzoomed world.
#include "app/vitrane_view_controller.h"

namespace {
constexpr float kWorldSize = 4096;
constexpr float kWorldHalf = kWorldSize / 2;
}  // namespace

void VitraneforiPadViewController::recenter(Sender) {
  pivot.moveTo({static_cast<float>(geometry.screenWidth / 2),
                static_cast<float>(geometry.screenHeight / 2)});
  outlets.offsetView->setFrame({-kWorldHalf, -kWorldHalf, kWorldSize, kWorldSize});
  outlets.rotatingView->setFrame({0, 0, kWorldSize, kWorldSize});
  // Centred on the pivot, so the heading rotation turns the picture about it.
  outlets.rotatingView->setCenter(
      {pivot.currentAnchor().x + kWorldHalf, pivot.currentAnchor().y + kWorldHalf});
  outlets.tableTopView->setFrame({static_cast<float>(geometry.screenWidth / 2),
                                  static_cast<float>(geometry.screenHeight / 2), kWorldSize,
                                  kWorldSize});
  resetTable();
}

void VitraneforiPadViewController::resetTable() {
  outlets.tableTopView->setCenter({kWorldHalf, kWorldHalf});
  outlets.stretcherView->setTransform(kit::AffineTransform::identity());
  outlets.telescoperView->setTransform(kit::AffineTransform::identity());
  adjustTelescopeCenter(geometry.center.anchor);
}
