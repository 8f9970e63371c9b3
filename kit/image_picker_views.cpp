#include "kit/image_picker_views.h"

#include <algorithm>
#include <cmath>

#include "kit/background_queue.h"
#include "kit/button.h"
#include "kit/image_codec.h"
#include "kit/image_picker.h"
#include "kit/label.h"
#include "kit/log.h"

namespace kit {

namespace {

const Color kPickerBackground{0.93f, 0.93f, 0.95f, 1};
const Color kPlaceholder{0.78f, 0.78f, 0.80f, 1};
const Color kBarColour{0.20f, 0.21f, 0.24f, 1};

// A square thumbnail of side pixels (or less), from the middle of the
// upright picture, decoded small.
ImageRef decodeThumbnail(const std::string& path, float side) {
  DecodeOptions options;
  // Twice the side both ways keeps the shorter side at least the cell's for
  // pictures up to twice as long as they are wide.
  options.fitWithin = {2 * side, 2 * side};
  options.applyOrientationToPixels = true;
  auto decoded = decodeImageFile(path, options);
  if (!decoded) return nullptr;
  const Image whole(decoded->bitmap, decoded->orientation);
  const Size s = whole.size();
  const float square = std::min(s.width, s.height);
  return croppedImage(whole, {(s.width - square) / 2, (s.height - square) / 2, square, square});
}

// Runs work on the queue, or here when there is none; then done on the
// main thread, unless the view that asked has gone by then.
template <class Answer>
void offMainThread(BackgroundQueue* queue, const std::shared_ptr<std::atomic<bool>>& gone,
                   std::function<Answer()> work, std::function<void(Answer)> done) {
  if (!queue) {
    done(work());
    return;
  }
  queue->start([gone, work = std::move(work), done = std::move(done)](BackgroundQueue::Job& job) {
    if (*gone || job.stopRequested()) return;
    auto result = std::make_shared<Answer>(work());
    job.post([gone, done, result] {
      if (!*gone) done(std::move(*result));
    });
  });
}

std::shared_ptr<Button> barButton(const std::string& title) {
  auto button = std::make_shared<Button>();
  button->setTitle(title, ControlState::Normal);
  button->setBackgroundColor({0.32f, 0.34f, 0.38f, 1});
  button->titleColor = Color::white();
  return button;
}

}  // namespace

// --- Grid ---------------------------------------------------------------------

PhotoGridView::PhotoGridView(std::vector<std::string> paths, BackgroundQueue* queue)
    : paths_(std::move(paths)), queue_(queue), cells_(paths_.size()), asked_(paths_.size(), false) {
  setClipsToBounds(true);
  setBackgroundColor(kPickerBackground);
  content_ = std::make_shared<View>();
  content_->setUserInteractionEnabled(false);  // touches are the grid's
  addSubview(content_);

  auto pan = std::make_shared<PanGestureRecognizer>([this](GestureRecognizer& g) {
    auto& p = static_cast<PanGestureRecognizer&>(g);
    if (g.state() != GestureState::Began && g.state() != GestureState::Changed) return;
    const Point t = p.translationInView(this);
    p.setTranslation({0, 0}, this);
    setContentOffset(offset_ - t.y);
  });
  pan->maximumNumberOfTouches = 1;
  addGestureRecognizer(pan);

  addGestureRecognizer(std::make_shared<TapGestureRecognizer>([this](GestureRecognizer& g) {
    if (g.state() != GestureState::Ended) return;
    const Point p = g.locationInView(this);
    for (std::size_t i = 0; i < paths_.size(); ++i)
      if (cellFrame(i).contains(p)) {
        // The handler may take this grid away.
        if (const auto pick = onPick) pick(i);
        return;
      }
  }));
}

PhotoGridView::~PhotoGridView() { *gone_ = true; }

void PhotoGridView::layout() {
  const float width = bounds().size.width;
  columns_ =
      std::max(1, static_cast<int>(std::floor((width - kSpacing) / (kTargetCellSide + kSpacing))));
  cellSide_ = std::max(
      1.0f, (width - kSpacing * static_cast<float>(columns_ + 1)) / static_cast<float>(columns_));
  content_->setFrame({0, 0, width, contentHeight()});
  for (std::size_t i = 0; i < cells_.size(); ++i)
    if (cells_[i]) cells_[i]->setFrame(cellFrame(i));
  setContentOffset(offset_);
}

float PhotoGridView::contentHeight() const {
  const std::size_t rows =
      (paths_.size() + static_cast<std::size_t>(columns_) - 1) / static_cast<std::size_t>(columns_);
  return kSpacing + static_cast<float>(rows) * (cellSide_ + kSpacing);
}

float PhotoGridView::maximumContentOffset() const {
  return std::max(0.0f, contentHeight() - bounds().size.height);
}

Rect PhotoGridView::cellFrame(std::size_t index) const {
  const auto column = static_cast<float>(index % static_cast<std::size_t>(columns_));
  const auto row = static_cast<float>(index / static_cast<std::size_t>(columns_));
  return {kSpacing + column * (cellSide_ + kSpacing),
          kSpacing + row * (cellSide_ + kSpacing) - offset_, cellSide_, cellSide_};
}

void PhotoGridView::setContentOffset(float offset) {
  if (!std::isfinite(offset)) return;
  offset_ = std::clamp(offset, 0.0f, maximumContentOffset());
  const Rect c = content_->bounds();
  content_->setCenter({c.size.width / 2, c.size.height / 2 - offset_});
  loadVisibleThumbnails();
}

ImageRef PhotoGridView::thumbnail(std::size_t index) const {
  return index < cells_.size() && cells_[index] ? cells_[index]->image() : nullptr;
}

void PhotoGridView::loadVisibleThumbnails() {
  if (paths_.empty()) return;
  // The rows in view and one more below, ready for the scroll.
  const float rowPitch = cellSide_ + kSpacing;
  const auto firstRow =
      static_cast<std::size_t>(std::max(0.0f, std::floor((offset_ - kSpacing) / rowPitch)));
  const auto lastRow = static_cast<std::size_t>(std::max(
                           0.0f, std::floor((offset_ + bounds().size.height) / rowPitch))) +
                       1;
  const auto cols = static_cast<std::size_t>(columns_);
  const std::size_t end = std::min(paths_.size(), (lastRow + 1) * cols);
  for (std::size_t i = firstRow * cols; i < end; ++i) {
    if (!cells_[i]) {
      cells_[i] = std::make_shared<ImageView>();
      cells_[i]->setBackgroundColor(kPlaceholder);
      cells_[i]->setFrame(
          {cellFrame(i).origin.x, cellFrame(i).origin.y + offset_, cellSide_, cellSide_});
      content_->addSubview(cells_[i]);
    }
    if (asked_[i]) continue;
    asked_[i] = true;
    ++requested_;
    const std::string path = paths_[i];
    const float side = std::ceil(cellSide_);
    auto self = std::weak_ptr<View>(weak_from_this());
    offMainThread<ImageRef>(
        queue_, gone_, [path, side] { return decodeThumbnail(path, side); },
        [self, i](ImageRef image) {
          if (auto view = self.lock())
            static_cast<PhotoGridView&>(*view).thumbnailArrived(i, std::move(image));
        });
  }
}

void PhotoGridView::thumbnailArrived(std::size_t index, ImageRef image) {
  if (index >= cells_.size() || !cells_[index] || !image) return;
  cells_[index]->setImage(std::move(image));
}

// --- Crop step ------------------------------------------------------------------

CropView::CropView(ImageRef photo, Size size) : photo_(std::move(photo)) {
  setFrame({0, 0, size.width, size.height});
  setBackgroundColor(Color::black());
  setClipsToBounds(true);

  // The photo, fitted above the bar.
  const Size s = photo_ ? photo_->size() : Size{1, 1};
  const float areaHeight = std::max(1.0f, size.height - kPickerBarHeight);
  const float fit =
      std::min(size.width / std::max(1.0f, s.width), areaHeight / std::max(1.0f, s.height));
  const Size shown{s.width * fit, s.height * fit};
  photoFrame_ = {(size.width - shown.width) / 2, (areaHeight - shown.height) / 2, shown.width,
                 shown.height};
  auto image = std::make_shared<ImageView>(photo_);
  image->setFrame(photoFrame_);
  image->setUserInteractionEnabled(false);
  addSubview(image);

  for (int i = 0; i < 4; ++i) {
    auto shade = std::make_shared<View>();
    shade->setBackgroundColor(Color::grey(0, 0.5f));
    shade->setUserInteractionEnabled(false);
    addSubview(shade);
    shades_.push_back(shade);
  }
  for (int i = 0; i < 4; ++i) {
    auto edge = std::make_shared<View>();
    edge->setBackgroundColor(Color::white());
    edge->setUserInteractionEnabled(false);
    addSubview(edge);
    edges_.push_back(edge);
  }

  auto bar =
      std::make_shared<View>(Rect{0, size.height - kPickerBarHeight, size.width, kPickerBarHeight});
  bar->setBackgroundColor(kBarColour);
  addSubview(bar);
  cancel_ = barButton("Cancel");
  cancel_->setFrame({8, 6, 96, kPickerBarHeight - 12});
  cancel_->addAction([this](View*) {
    if (const auto cancel = onCancel) cancel();
  });
  bar->addSubview(cancel_);
  use_ = barButton("Use");
  use_->setFrame({size.width - 8 - 96, 6, 96, kPickerBarHeight - 12});
  use_->addAction([this](View*) {
    if (const auto use = onUse) use(cropRectInPhoto());
  });
  bar->addSubview(use_);

  auto pan = std::make_shared<PanGestureRecognizer>([this](GestureRecognizer& g) {
    auto& p = static_cast<PanGestureRecognizer&>(g);
    if (g.state() != GestureState::Began && g.state() != GestureState::Changed) return;
    const Point t = p.translationInView(this);
    p.setTranslation({0, 0}, this);
    moveBox(t);
  });
  pan->maximumNumberOfTouches = 2;
  pan->setDelegate(this);
  addGestureRecognizer(pan);
  auto pinch = std::make_shared<PinchGestureRecognizer>([this](GestureRecognizer& g) {
    auto& p = static_cast<PinchGestureRecognizer&>(g);
    if (g.state() != GestureState::Began && g.state() != GestureState::Changed) return;
    const double scale = p.scale;
    p.scale = 1;
    scaleBox(static_cast<float>(scale));
  });
  pinch->setDelegate(this);
  addGestureRecognizer(pinch);

  const float side = std::min(photoFrame_.size.width, photoFrame_.size.height);
  placeBox({photoFrame_.midX() - side / 2, photoFrame_.midY() - side / 2, side, side});
}

void CropView::moveBox(Point delta) {
  if (!std::isfinite(delta.x) || !std::isfinite(delta.y)) return;
  placeBox({box_.origin.x + delta.x, box_.origin.y + delta.y, box_.size.width, box_.size.height});
}

void CropView::scaleBox(float factor) {
  if (!std::isfinite(factor) || factor <= 0) return;
  const float side = box_.size.width * factor;
  placeBox({box_.midX() - side / 2, box_.midY() - side / 2, side, side});
}

void CropView::placeBox(Rect box) {
  const Rect& p = photoFrame_;
  const float largest = std::min(p.size.width, p.size.height);
  const float side = std::clamp(box.size.width, std::min(kMinimumBoxSide, largest), largest);
  const float cx = box.origin.x + box.size.width / 2, cy = box.origin.y + box.size.height / 2;
  const float x = std::clamp(cx - side / 2, p.minX(), p.maxX() - side);
  const float y = std::clamp(cy - side / 2, p.minY(), p.maxY() - side);
  box_ = {x, y, side, side};
  showBox();
}

void CropView::showBox() {
  const Rect& p = photoFrame_;
  const Rect& b = box_;
  shades_[0]->setFrame({p.minX(), p.minY(), p.size.width, b.minY() - p.minY()});
  shades_[1]->setFrame({p.minX(), b.maxY(), p.size.width, p.maxY() - b.maxY()});
  shades_[2]->setFrame({p.minX(), b.minY(), b.minX() - p.minX(), b.size.height});
  shades_[3]->setFrame({b.maxX(), b.minY(), p.maxX() - b.maxX(), b.size.height});
  constexpr float w = 2;
  edges_[0]->setFrame({b.minX(), b.minY(), b.size.width, w});
  edges_[1]->setFrame({b.minX(), b.maxY() - w, b.size.width, w});
  edges_[2]->setFrame({b.minX(), b.minY(), w, b.size.height});
  edges_[3]->setFrame({b.maxX() - w, b.minY(), w, b.size.height});
}

Rect CropView::cropRectInPhoto() const {
  if (!photo_ || photoFrame_.size.width <= 0) return {};
  const Size s = photo_->size();
  const float toPhoto = s.width / photoFrame_.size.width;
  const float largest = std::floor(std::min(s.width, s.height));
  const float side =
      std::clamp(std::round(box_.size.width * toPhoto), std::min(1.0f, largest), largest);
  const float x = std::clamp(std::round((box_.minX() - photoFrame_.minX()) * toPhoto), 0.0f,
                             std::max(0.0f, std::floor(s.width) - side));
  const float y = std::clamp(std::round((box_.minY() - photoFrame_.minY()) * toPhoto), 0.0f,
                             std::max(0.0f, std::floor(s.height) - side));
  // + 0 turns a -0 from rounding into 0.
  return {x + 0.0f, y + 0.0f, side, side};
}

// --- The picker's view ------------------------------------------------------------

ImagePickerView::ImagePickerView(ImagePickerController& picker) : picker_(&picker) {
  setBackgroundColor(kPickerBackground);
  setClipsToBounds(true);
}

ImagePickerView::~ImagePickerView() { *gone_ = true; }

void ImagePickerView::forgetPicker() {
  picker_ = nullptr;
  *gone_ = true;
}

void ImagePickerView::layout() {
  if (!picker_) return;
  const Size size = bounds().size;
  if (!built_) {
    built_ = true;
    camera_ = picker_->sourceType() == ImagePickerSourceType::Camera;
    title_ = std::make_shared<Label>();
    title_->textAlignment = TextAlignment::Center;
    title_->boldFont = true;
    addSubview(title_);
    if (camera_) {
      // The camera is answered by the host (a still taken at once).
      setBackgroundColor(Color::black());
      title_->textColor = Color::white();
      title_->setText("Camera");
    } else {
      title_->setBackgroundColor({0.97f, 0.97f, 0.98f, 1});
      title_->setText(picker_->allowsEditing() ? "Choose and Crop a Photo" : "Choose a Photo");
      std::vector<std::string> paths;
      if (picker_->services().libraryPhotoPaths) paths = picker_->services().libraryPhotoPaths();
      grid_ =
          std::make_shared<PhotoGridView>(std::move(paths), picker_->services().backgroundQueue);
      grid_->onPick = [this](std::size_t index) { pick(index); };
      addSubview(grid_);
      if (grid_->count() == 0) {
        // An empty white grid reads as broken; say why nothing is there.
        std::string text = "No photos in the photo library";
        const std::string where = picker_->services().libraryLocation
                                      ? picker_->services().libraryLocation()
                                      : std::string();
        if (!where.empty()) text += "\n\nPictures in " + where + " and its folders show here.";
        emptyNote_ = std::make_shared<Label>();
        emptyNote_->setText(std::move(text));
        emptyNote_->numberOfLines = 0;
        emptyNote_->textAlignment = TextAlignment::Center;
        emptyNote_->textColor = {0.45f, 0.45f, 0.47f, 1};
        addSubview(emptyNote_);
      }
    }
  }
  if (size == laidOutSize_) return;
  laidOutSize_ = size;
  title_->setFrame({0, 0, size.width, kPickerBarHeight});
  if (grid_) {
    grid_->setFrame(
        {0, kPickerBarHeight, size.width, std::max(0.0f, size.height - kPickerBarHeight)});
    grid_->layout();
  }
  if (emptyNote_) {
    constexpr float kMargin = 24;
    emptyNote_->setFrame(
        {kMargin, kPickerBarHeight + kMargin, std::max(0.0f, size.width - 2 * kMargin), 160});
  }
  if (crop_) {
    // The crop box starts again at the new size.
    ImageRef photo = crop_->photo();
    showCrop(std::move(photo));
  }
}

void ImagePickerView::pick(std::size_t index) {
  if (!picker_ || loading_ || crop_ || !grid_ || index >= grid_->count()) return;
  const std::string path = grid_->path(index);
  loading_ = true;
  auto self = std::weak_ptr<View>(weak_from_this());
  offMainThread<Result<ImageRef>>(
      picker_->services().backgroundQueue, gone_,
      [path]() -> Result<ImageRef> {
        auto decoded = decodeImageFile(path);
        if (!decoded) return decoded.error();
        return ImageRef(std::make_shared<Image>(decoded->bitmap, decoded->orientation));
      },
      [self](Result<ImageRef> photo) {
        if (auto view = self.lock())
          static_cast<ImagePickerView&>(*view).photoArrived(std::move(photo));
      });
}

void ImagePickerView::photoArrived(Result<ImageRef> decoded) {
  loading_ = false;
  if (!picker_) return;
  if (!decoded) {
    log("The picked photo could not be read: %@", decoded.error().message);
    return;
  }
  ImageRef photo = std::move(*decoded);
  if (picker_->allowsEditing()) {
    showCrop(std::move(photo));
    return;
  }
  // The delegate may give the picker, and this view, up.
  const auto keep = shared_from_this();
  picker_->finishPicking(std::move(photo));
}

void ImagePickerView::showCrop(ImageRef photo) {
  if (crop_) crop_->removeFromSuperview();
  const Size size = bounds().size;
  crop_ = std::make_shared<CropView>(std::move(photo), size);
  crop_->onUse = [this](Rect crop) {
    if (!picker_ || !crop_) return;
    const auto keep = shared_from_this();
    picker_->finishPicking(crop_->photo(), crop);
  };
  crop_->onCancel = [this] {
    if (!picker_) return;
    const auto keep = shared_from_this();
    picker_->cancel();
  };
  addSubview(crop_);
}

}  // namespace kit
