// Keeping the world's zoom pivot at a screen point without moving the
// picture.
#include <cmath>

#include "app/vitrane_view_controller.h"

void VitraneforiPadViewController::adjustTelescopeCenter(kit::Point screenPoint) {
  const kit::Point q = view()->convertPointToView(screenPoint, outlets.telescoperView->superview());
  const kit::Point centre = outlets.telescoperView->center();
  const kit::Point delta{q.x - centre.x, q.y - centre.y};
  const kit::AffineTransform& t = outlets.telescoperView->transform();
  const double zoom = std::sqrt(double(t.a) * t.a + double(t.c) * t.c);

  // The zoom acts about the telescoper's centre, so moving that centre to
  // the point makes later zooms keep it still; the stretcher moves back by
  // the same distance on screen, so the picture stays.
  outlets.telescoperView->setCenter({centre.x + delta.x, centre.y + delta.y});
  const kit::Point s = outlets.stretcherView->center();
  outlets.stretcherView->setCenter(
      {s.x - static_cast<float>(delta.x / zoom), s.y - static_cast<float>(delta.y / zoom)});
}
