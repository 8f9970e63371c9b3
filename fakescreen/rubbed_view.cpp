#include "fakescreen/rubbed_view.h"

void RubbedView::updateRubbingImages(kit::ImageRef revealed, kit::ImageRef brush) {
  revealedImage_ = std::move(revealed);
  brushImage_ = std::move(brush);
}

// The mask and the rubbing gestures arrive with the fake-screen trick.
void RubbedView::setupRubbing() {}
