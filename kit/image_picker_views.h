// What the image picker shows: the library as a grid of thumbnails, the
// crop step, and the camera's screen.
//
// Nothing here blocks the main thread on a file: thumbnails are decoded
// small (the decoder's own downscaling) on the background queue as their
// cells come into view, and a picked photo is decoded there too. Without a
// queue (a bare picker in a test) they are decoded where they are asked for.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kit/gesture_recognizer.h"
#include "kit/image.h"
#include "kit/image_view.h"
#include "kit/result.h"
#include "kit/view.h"

namespace kit {

class BackgroundQueue;
class Button;
class ImagePickerController;
class Label;

// The title bar at the top and the button bar of the crop step.
inline constexpr float kPickerBarHeight = 44;

// Thumbnails of image files in a grid of square cells, four points apart,
// as many columns of about kTargetCellSide points as the width holds. A
// one-finger pan scrolls it up and down; a tap on a cell picks that file.
class PhotoGridView final : public View {
 public:
  static constexpr float kTargetCellSide = 140;
  static constexpr float kSpacing = 4;

  PhotoGridView(std::vector<std::string> paths, BackgroundQueue* queue);
  ~PhotoGridView() override;
  std::string className() const override { return "PhotoGridView"; }

  // The index of the picked file.
  std::function<void(std::size_t)> onPick;

  // Places the cells for the current bounds and loads what is in view.
  void layout();

  std::size_t count() const { return paths_.size(); }
  const std::string& path(std::size_t index) const { return paths_.at(index); }
  int columns() const { return columns_; }
  float cellSide() const { return cellSide_; }
  // Where a cell is, in this view's coordinates (scrolled).
  Rect cellFrame(std::size_t index) const;

  // How far the content is scrolled up, 0 to maximumContentOffset().
  float contentOffset() const { return offset_; }
  float maximumContentOffset() const;
  void setContentOffset(float offset);

  // The thumbnail shown in a cell; null until it has been decoded (or when
  // the file could not be).
  ImageRef thumbnail(std::size_t index) const;
  // How many thumbnails have been asked for so far.
  std::size_t thumbnailsRequested() const { return requested_; }

 private:
  void loadVisibleThumbnails();
  void thumbnailArrived(std::size_t index, ImageRef image);
  float contentHeight() const;

  std::vector<std::string> paths_;
  BackgroundQueue* queue_;
  std::shared_ptr<std::atomic<bool>> gone_ = std::make_shared<std::atomic<bool>>(false);
  ViewRef content_;                                // the cells, moved by the scrolling
  std::vector<std::shared_ptr<ImageView>> cells_;  // made as they come into view
  std::vector<bool> asked_;
  std::size_t requested_ = 0;
  int columns_ = 1;
  float cellSide_ = kTargetCellSide;
  float offset_ = 0;
};

// The crop step: the photo fitted into the view above a bar with "Cancel"
// and "Use", and a square crop box on it that a pan (one or two fingers)
// moves and a pinch scales, always inside the photo. The box starts as the
// largest square, centred.
class CropView final : public View, private GestureRecognizerDelegate {
 public:
  CropView(ImageRef photo, Size size);
  std::string className() const override { return "CropView"; }

  // The crop rectangle chosen, in the photo's points.
  std::function<void(Rect)> onUse;
  std::function<void()> onCancel;

  const ImageRef& photo() const { return photo_; }
  // In this view's coordinates.
  Rect photoFrame() const { return photoFrame_; }
  Rect cropBox() const { return box_; }
  // The box in the photo's points, whole points, inside the photo.
  Rect cropRectInPhoto() const;

  // Moves the box by delta, and scales it about its centre, kept inside
  // the photo and no smaller than kMinimumBoxSide (or the photo).
  void moveBox(Point delta);
  void scaleBox(float factor);

  static constexpr float kMinimumBoxSide = 40;

  Button* useButton() const { return use_.get(); }
  Button* cancelButton() const { return cancel_.get(); }

 private:
  bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
      GestureRecognizer&, GestureRecognizer&) override {
    return true;
  }
  void placeBox(Rect box);
  void showBox();

  ImageRef photo_;
  Rect photoFrame_;
  Rect box_;
  std::vector<ViewRef> shades_;  // dimming around the box
  std::vector<ViewRef> edges_;   // the box's outline
  std::shared_ptr<Button> use_, cancel_;
};

// The picker's own view: the library's grid (then, with editing allowed,
// the crop step for the picked photo), or the camera's screen.
class ImagePickerView final : public View {
 public:
  explicit ImagePickerView(ImagePickerController& picker);
  ~ImagePickerView() override;
  std::string className() const override { return "ImagePickerView"; }

  // Shows what the picker's source needs, at the view's size now.
  void layout();
  // The picker is going: nothing more is answered.
  void forgetPicker();

  PhotoGridView* grid() const { return grid_.get(); }
  // What the grid says when the library has no photos; null otherwise.
  Label* emptyLibraryNote() const { return emptyNote_.get(); }
  CropView* cropView() const { return crop_.get(); }
  // A picked photo is being decoded.
  bool isLoadingPhoto() const { return loading_; }

 private:
  void pick(std::size_t index);
  void photoArrived(Result<ImageRef> decoded);
  void showCrop(ImageRef photo);

  ImagePickerController* picker_;
  std::shared_ptr<std::atomic<bool>> gone_ = std::make_shared<std::atomic<bool>>(false);
  std::shared_ptr<Label> title_;
  std::shared_ptr<PhotoGridView> grid_;
  std::shared_ptr<Label> emptyNote_;
  std::shared_ptr<CropView> crop_;
  bool built_ = false;
  bool camera_ = false;
  bool loading_ = false;
  Size laidOutSize_{-1, -1};
};

// The photos of a library folder for the picker's grid: each album (a
// subfolder, in name order) in turn, its files whose content is a JPEG or
// PNG picture in name order; hidden entries are passed over. Only the first
// bytes of each file are read.
std::vector<std::string> listLibraryPhotoPaths(const std::string& root);

}  // namespace kit
