#include "kit/image_view.h"

namespace kit {

// Image views take no touches unless asked to, as on the platform: the
// tiles of the table let touches fall through to the world behind them.
ImageView::ImageView() { setUserInteractionEnabled(false); }

ImageView::ImageView(ImageRef image) : image_(std::move(image)) {
  setUserInteractionEnabled(false);
  const Size s = image_ ? image_->size() : Size{};
  setFrame({0, 0, s.width, s.height});
}

}  // namespace kit
