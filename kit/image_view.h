// A view that shows an image scaled to fill its bounds.
#pragma once

#include "kit/image.h"
#include "kit/view.h"

namespace kit {

class ImageView : public View {
 public:
  ImageView();
  // The platform's initWithImage: the frame is the image's size at the origin.
  explicit ImageView(ImageRef image);

  std::string className() const override { return "ImageView"; }

  const ImageRef& image() const { return image_; }
  void setImage(ImageRef image) {
    image_ = std::move(image);
    noteContentChange();
  }

 private:
  ImageRef image_;
};

}  // namespace kit
