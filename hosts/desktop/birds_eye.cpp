#include "hosts/desktop/birds_eye.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "hosts/desktop/screen_mapping.h"
#include "kit/image_view.h"

namespace desktop {

// --- Placement -------------------------------------------------------------------

namespace {

int pixels(float points, float pixelsPerPoint) {
  return static_cast<int>(std::lround(points * pixelsPerPoint));
}

}  // namespace

std::optional<PanelRect> birdsEyeBesideScreen(int w, int h) {
  const Letterbox box = fitScreen(w, h);
  if (box.isEmpty()) return std::nullopt;
  const int margin = std::max(4, pixels(kBirdsEyeMarginPoints, box.pixelsPerPoint));
  const int preferred = pixels(kBirdsEyePoints, box.pixelsPerPoint);
  const int right = box.x + box.width, bottom = box.y + box.height;
  // The screen is centred: the bar on the right is as wide as the one on
  // the left (or a pixel wider), the one below as the one above.
  if (const int bar = w - right; bar > 0) {
    const int side = std::min({preferred, bar - 2 * margin, h - 2 * margin});
    if (side >= kSmallestPanelBeside) return PanelRect{right + margin, box.y + margin, side};
  }
  if (const int bar = h - bottom; bar > 0) {
    const int side = std::min({preferred, bar - 2 * margin, w - 2 * margin});
    if (side >= kSmallestPanelBeside)
      return PanelRect{std::min(right, w - margin) - side, bottom + margin, side};
  }
  return std::nullopt;
}

std::optional<PanelRect> placeBirdsEye(int w, int h, BirdsEyeMode mode) {
  if (mode == BirdsEyeMode::Hidden) return std::nullopt;
  if (auto beside = birdsEyeBesideScreen(w, h)) return beside;
  if (mode == BirdsEyeMode::Auto) return std::nullopt;
  // Over the screen's top-right corner, away from the list of keys in the
  // bottom-left one, and no more than a third of the window's shorter side.
  const Letterbox box = fitScreen(w, h);
  if (box.isEmpty()) return std::nullopt;
  const int margin = std::max(4, pixels(kBirdsEyeMarginPoints, box.pixelsPerPoint));
  const int side = std::min(pixels(kBirdsEyePoints, box.pixelsPerPoint), std::min(w, h) / 3);
  if (side < kSmallestPanelOver) return std::nullopt;
  return PanelRect{w - margin - side, margin, side, true};
}

BirdsEyeMode toggledBirdsEye(BirdsEyeMode mode, int w, int h) {
  return placeBirdsEye(w, h, mode) ? BirdsEyeMode::Hidden : BirdsEyeMode::Shown;
}

WindowSize initialWindowSize(int usableWidth, int usableHeight) {
  const double screenW = kScreenWidth, screenH = kScreenHeight;
  // Room for the panel and its margins in both bars, as the screen stays centred.
  const double wideW = screenW + 2 * (kBirdsEyePoints + 2 * kBirdsEyeMarginPoints);
  auto size = [](double w, double h, double scale) {
    return WindowSize{std::max(1, static_cast<int>(w * scale)),
                      std::max(1, static_cast<int>(h * scale))};
  };
  // Of a display of unknown size, no more than the screen itself is asked.
  if (usableWidth <= 0 || usableHeight <= 0) return size(screenW, screenH, 1);
  const double plain = std::min({1.0, 0.9 * usableWidth / screenW, 0.9 * usableHeight / screenH});
  const double wide = std::min({1.0, 0.9 * usableWidth / wideW, 0.9 * usableHeight / screenH});
  // A screen much smaller for the panel's sake is a poor trade, and a bar
  // too narrow to show it no gain: B still shows the panel over the screen.
  // (Window units stand for pixels here; a denser display has more of them.)
  const WindowSize widened = size(wideW, screenH, wide);
  if (wide >= 0.85 * plain && birdsEyeBesideScreen(widened.width, widened.height)) return widened;
  return size(screenW, screenH, plain);
}

kit::AffineTransform affineThrough(const std::function<kit::Point(kit::Point)>& f) {
  constexpr float kApart = 1000;
  const kit::Point o = f({0, 0}), x = f({kApart, 0}), y = f({0, kApart});
  return {(x.x - o.x) / kApart,
          (x.y - o.y) / kApart,
          (y.x - o.x) / kApart,
          (y.y - o.y) / kApart,
          o.x,
          o.y};
}

// --- The panel's views -------------------------------------------------------------

namespace {

constexpr float kSide = kBirdsEyePoints;
const kit::Color kTableColour{0.36f, 0.24f, 0.15f, 1};
const kit::Color kBorderColour{0.55f, 0.55f, 0.55f, 1};
const kit::Color kBodyColour{0.95f, 0.95f, 0.95f, 1};
const kit::Color kScreenColour{0.3f, 0.85f, 1, 1};
// The picture's outline is drawn first and wider: where it agrees with the
// screen's it shows as a rim round it.
const kit::Color kPictureColour{1, 0.55f, 0.1f, 1};
const kit::Color kPivotColour{1, 0.1f, 0.1f, 1};
// The estimated pivot: a green square, apart from the red and the orange.
const kit::Color kEstimateColour{0.2f, 0.9f, 0.3f, 1};
constexpr float kBodyLine = 1.5f, kScreenLine = 1.5f, kPictureLine = 3.5f;
constexpr float kPivotSize = 7, kPicturePivotRadius = 6, kEstimateRadius = 5;
// A slide's marks, all in a yellow apart from every colour above: the
// body where it was, faintly filled, and an arrow.
const kit::Color kArrowColour{1, 0.92f, 0.15f, 1};
const kit::Color kGhostFill{1, 0.92f, 0.15f, 0.18f};
const kit::Color kGhostLine{1, 0.92f, 0.15f, 0.85f};
const kit::Color kArrowShadowColour{0, 0, 0, 0.6f};
constexpr float kArrowLine = 3, kArrowShadow = 5, kArrowHead = 6;
// The legend: two rows of three entries on a dark strip, in type small
// enough to leave the table its room yet readable at the panel's size.
const kit::Color kLegendBackground{0, 0, 0, 0.55f};
constexpr float kLegendFont = 8.5f, kLegendRow = 11, kLegendPad = 2, kSwatchWidth = 12,
                kSwatchGap = 3;

std::shared_ptr<kit::View> plainView(const kit::Rect& frame,
                                     kit::Color colour = kit::Color::clear()) {
  auto v = std::make_shared<kit::View>(frame);
  v->setBackgroundColor(colour);
  v->setUserInteractionEnabled(false);
  return v;
}

// A straight line from a to b, its ends reaching half its width past them
// so that the lines of an outline close at the corners.
void placeLine(kit::View& line, kit::Point a, kit::Point b, float width) {
  const float dx = b.x - a.x, dy = b.y - a.y;
  line.setTransform(kit::AffineTransform::identity());
  line.setBounds({0, 0, std::hypot(dx, dy) + width, width});
  line.setCenter({(a.x + b.x) / 2, (a.y + b.y) / 2});
  line.setTransform(kit::AffineTransform::makeRotation(std::atan2(dy, dx)));
}

// Places v so that its bounds' points go where m takes them in its superview.
void placeAffine(kit::View& v, const kit::Rect& bounds, const kit::AffineTransform& m) {
  v.setBounds(bounds);
  const kit::Point anchor = v.anchorPoint();
  v.setCenter(m.apply({bounds.origin.x + anchor.x * bounds.size.width,
                       bounds.origin.y + anchor.y * bounds.size.height}));
  v.setTransform({m.a, m.b, m.c, m.d, 0, 0});
}

// Four lines joining four corners, in `parent`'s coordinates.
void addOutline(kit::View& parent, kit::Color colour, float width,
                const std::array<kit::Point, 4>& corners) {
  for (int i = 0; i < 4; ++i) {
    auto edge = plainView({0, 0, width, width}, colour);
    placeLine(*edge, corners[i], corners[(i + 1) % 4], width);
    parent.addSubview(std::move(edge));
  }
}

int floorDiv(double v, double pitch) { return static_cast<int>(std::floor(v / pitch)); }
int parity(int i) { return ((i % 2) + 2) % 2; }

}  // namespace

std::vector<TablePhoto> photosOnTable(const kit::View& layer, const kit::View& picture) {
  std::vector<TablePhoto> photos;
  if (layer.isHidden() || layer.alpha() < kit::kMinShownAlpha) return photos;
  for (const auto& view : layer.subviews()) {
    const auto* photo = dynamic_cast<const kit::ImageView*>(view.get());
    if (!photo || !photo->image() || photo->isHidden() || photo->alpha() < kit::kMinShownAlpha)
      continue;
    const kit::AffineTransform toPicture =
        affineThrough([&](kit::Point p) { return photo->convertPointToView(p, &picture); });
    photos.push_back({photo->image(), photo->bounds(), toPicture});
    if (photos.size() == BirdsEyeView::kMostPhotos) break;
  }
  return photos;
}

BirdsEyeView::BirdsEyeView(const kit::TabletBody& geometry) : geometry_(geometry) {
  root_ = plainView({0, 0, kSide, kSide}, kTableColour);
  root_->setName("birdsEye");
  table_ = plainView({0, 0, 0, 0});
  root_->addSubview(table_);
  photosLayer_ = plainView({0, 0, 0, 0});
  root_->addSubview(photosLayer_);
  // Under every outline and mark, so that it never hides them.
  makeLegend();
  slideLayer_ = plainView({0, 0, kSide, kSide});
  ghost_ = plainView({0, 0, 1, 1}, kGhostFill);
  slideLayer_->addSubview(ghost_);
  // A few words for the arrow, which an inch leaves short at the panel's
  // scale; under the outlines like the rest of the slide's marks.
  auto captionStrip = plainView({1, 1, kSide - 2, kLegendRow + 2 * kLegendPad}, kLegendBackground);
  caption_ = std::make_shared<kit::Label>();
  caption_->setFrame({kLegendPad + 2, kLegendPad, kSide - 2 - 2 * kLegendPad - 4, kLegendRow});
  caption_->fontSize = kLegendFont;
  caption_->boldFont = true;
  caption_->textColor = kArrowColour;
  captionStrip->addSubview(caption_);
  slideLayer_->addSubview(captionStrip);
  root_->addSubview(slideLayer_);
  ghostOutline_ = makeQuad(kGhostLine, 1, slideLayer_.get());
  picture_ = makeQuad(kPictureColour, kPictureLine);
  body_ = makeQuad(kBodyColour, kBodyLine);
  screen_ = makeQuad(kScreenColour, kScreenLine);
  arrowLayer_ = plainView({0, 0, kSide, kSide});
  for (auto& line : arrowShadows_) {
    line = plainView({0, 0, kArrowShadow, kArrowShadow}, kArrowShadowColour);
    arrowLayer_->addSubview(line);
  }
  for (auto& line : arrowLines_) {
    line = plainView({0, 0, kArrowLine, kArrowLine}, kArrowColour);
    arrowLayer_->addSubview(line);
  }
  root_->addSubview(arrowLayer_);
  slideLayer_->setHidden(true);
  arrowLayer_->setHidden(true);
  pictureMark_ = makeQuad(kPictureColour, 2);
  estimateMark_ = makeQuad(kEstimateColour, 1.5f);
  // The pivot: red with a dark rim, seen on light wood and dark alike.
  pivot_ = plainView({0, 0, kPivotSize + 2, kPivotSize + 2}, {0, 0, 0, 0.8f});
  pivot_->addSubview(plainView({1, 1, kPivotSize, kPivotSize}, kPivotColour));
  root_->addSubview(pivot_);
  for (const kit::Rect& edge : {kit::Rect{0, 0, kSide, 1}, kit::Rect{0, kSide - 1, kSide, 1},
                                kit::Rect{0, 0, 1, kSide}, kit::Rect{kSide - 1, 0, 1, kSide}})
    root_->addSubview(plainView(edge, kBorderColour));
  picture_.layer->setHidden(true);
  pictureMark_.layer->setHidden(true);
  estimateMark_.layer->setHidden(true);
  root_->setUserInteractionEnabled(false);
}

void BirdsEyeView::makeLegend() {
  constexpr int kColumns = 3;
  legend_ = plainView(legendFrame(), kLegendBackground);
  root_->addSubview(legend_);
  const float column = (kSide - 2 - 2 * kLegendPad) / kColumns;
  const float mid = kLegendRow / 2;
  auto entry = [&](int index, const std::string& words) {
    const float x = kLegendPad + (index % kColumns) * column,
                y = kLegendPad + (index / kColumns) * kLegendRow;
    auto v = plainView({x, y, column, kLegendRow});
    auto label = std::make_shared<kit::Label>();
    label->setFrame({kSwatchWidth + kSwatchGap, 0, column - kSwatchWidth - kSwatchGap, kLegendRow});
    label->setText(words);
    label->fontSize = kLegendFont;
    label->textColor = kit::Color::white();
    label->boldFont = true;
    v->addSubview(label);
    legend_->addSubview(v);
    legendEntries_.emplace_back(v, words);
    return v;
  };
  auto line = [&](kit::View& v, kit::Color colour, float width) {
    v.addSubview(plainView({0.5f, mid - width / 2, kSwatchWidth - 1, width}, colour));
  };
  // The outlines, each a stretch of its own line; the marks as drawn.
  line(*entry(0, "body"), kBodyColour, kBodyLine);
  line(*entry(1, "screen"), kScreenColour, kScreenLine);
  line(*entry(2, "picture"), kPictureColour, kPictureLine);
  auto pivot = entry(3, "tablet pivot");
  pivot->addSubview(plainView({kSwatchWidth / 2 - kPivotSize / 2 - 1, mid - kPivotSize / 2 - 1,
                               kPivotSize + 2, kPivotSize + 2},
                              {0, 0, 0, 0.8f}));
  pivot->addSubview(
      plainView({kSwatchWidth / 2 - kPivotSize / 2, mid - kPivotSize / 2, kPivotSize, kPivotSize},
                kPivotColour));
  const float c = kSwatchWidth / 2, d = 4.5f, e = 3.5f;
  addOutline(*entry(4, "picture pivot"), kPictureColour, 1.5f,
             {kit::Point{c, mid - d}, {c + d, mid}, {c, mid + d}, {c - d, mid}});
  estimateEntry_ = entry(5, "sensed pivot");
  addOutline(*estimateEntry_, kEstimateColour, 1.5f,
             {kit::Point{c - e, mid - e}, {c + e, mid - e}, {c + e, mid + e}, {c - e, mid + e}});
  estimateEntry_->setHidden(true);
}

kit::Rect BirdsEyeView::legendFrame() const {
  const float height = 2 * kLegendRow + 2 * kLegendPad;
  return {1, kSide - 1 - height, kSide - 2, height};
}

std::vector<BirdsEyeView::LegendEntry> BirdsEyeView::legend() const {
  std::vector<LegendEntry> entries;
  for (const auto& [view, words] : legendEntries_) {
    if (view->isHidden()) continue;
    const kit::Point a = view->convertPointToView(view->bounds().origin, root_.get());
    entries.push_back({words, {a, view->bounds().size}});
  }
  return entries;
}

BirdsEyeView::Quad BirdsEyeView::makeQuad(kit::Color colour, float width, kit::View* parent) {
  Quad q;
  q.layer = plainView({0, 0, kSide, kSide});
  for (auto& edge : q.edges) {
    edge = plainView({0, 0, width, width}, colour);
    q.layer->addSubview(edge);
  }
  q.width = width;
  (parent ? parent : root_.get())->addSubview(q.layer);
  return q;
}

void BirdsEyeView::placeQuad(Quad& q, const std::array<kit::Point, 4>& corners) {
  q.corners = corners;
  for (int i = 0; i < 4; ++i) placeLine(*q.edges[i], corners[i], corners[(i + 1) % 4], q.width);
}

void BirdsEyeView::setTable(std::optional<TileField> field,
                            const kit::AffineTransform& pictureToTable) {
  if (field == field_ && pictureToTable == pictureToTable_) return;
  field_ = std::move(field);
  pictureToTable_ = pictureToTable;
  tileRange_ = {0, -1, 0, -1};
  table_->removeAllSubviews();
  if (placed_) layTiles();
}

kit::Point BirdsEyeView::panelPoint(double x, double y) const {
  const double k = kSide / kSpan;
  return {static_cast<float>((x - centreX_) * k + kSide / 2),
          static_cast<float>(-(y - centreY_) * k + kSide / 2)};
}

void BirdsEyeView::follow(double x, double y, double time) {
  const double elapsed = placed_ ? time - time_ : 0;
  // The first time, and after a pause long enough to have arrived, it is there.
  const double way = !placed_ || !(elapsed < 20 * kGlideSeconds) ? 1
                     : elapsed > 0 ? 1 - std::exp(-elapsed / kGlideSeconds)
                                   : 0;
  centreX_ += (x - centreX_) * way;
  centreY_ += (y - centreY_) * way;
  time_ = placed_ ? std::max(time_, time) : time;
  placed_ = true;
}

void BirdsEyeView::layTiles() {
  // Picture points to panel points, through the table.
  const double k = kSide / kSpan;
  const kit::AffineTransform tableToPanel{static_cast<float>(k),
                                          0,
                                          0,
                                          static_cast<float>(-k),
                                          static_cast<float>(kSide / 2 - centreX_ * k),
                                          static_cast<float>(kSide / 2 + centreY_ * k)};
  const kit::AffineTransform m = kit::AffineTransform::concat(pictureToTable_, tableToPanel);
  // A view of no size turns about its origin: the map is its transform
  // with the translation put in its centre.
  for (kit::View* layer : {table_.get(), photosLayer_.get()}) {
    layer->setCenter({m.tx, m.ty});
    layer->setTransform({m.a, m.b, m.c, m.d, 0, 0});
  }
  if (!field_ || !(field_->pitchX >= 1) || !(field_->pitchY >= 1)) return;

  // The tiles that can show: the panel's corners in picture points.
  if (!(std::fabs(m.a * m.d - m.b * m.c) > 1e-12f)) return;  // flattened: nothing sensible to lay
  const kit::AffineTransform back = m.inverted();
  constexpr double kFar = std::numeric_limits<double>::infinity();
  double x0 = kFar, y0 = kFar, x1 = -kFar, y1 = -kFar;
  for (const kit::Point c :
       {kit::Point{0, 0}, kit::Point{kSide, 0}, kit::Point{kSide, kSide}, kit::Point{0, kSide}}) {
    const kit::Point p = back.apply(c);
    x0 = std::min<double>(x0, p.x), x1 = std::max<double>(x1, p.x);
    y0 = std::min<double>(y0, p.y), y1 = std::max<double>(y1, p.y);
  }
  const TileField& f = *field_;
  const std::array<int, 4> range{
      floorDiv(x0 - f.origin.x, f.pitchX), floorDiv(x1 - f.origin.x, f.pitchX),
      floorDiv(y0 - f.origin.y, f.pitchY), floorDiv(y1 - f.origin.y, f.pitchY)};
  if (range == tileRange_) return;
  tileRange_ = range;
  table_->removeAllSubviews();
  const long long count = (static_cast<long long>(range[1]) - range[0] + 1) *
                          (static_cast<long long>(range[3]) - range[2] + 1);
  if (count > kMostTiles) return;
  for (int row = range[2]; row <= range[3]; ++row)
    for (int column = range[0]; column <= range[1]; ++column) {
      auto tile = std::make_shared<kit::ImageView>(f.faces[parity(column) + 2 * parity(row)]);
      tile->setFrame(
          {f.origin.x + column * f.pitchX, f.origin.y + row * f.pitchY, f.pitchX, f.pitchY});
      tile->setUserInteractionEnabled(false);
      table_->addSubview(std::move(tile));
    }
}

void BirdsEyeView::update(const State& s) {
  const kit::TabletBody& g = geometry_;
  const kit::Vector3 pivotAt = s.pose.tablePointUnder(s.pivot.x, s.pivot.y);
  follow(pivotAt.x, pivotAt.y, s.time);
  layTiles();
  placePhotos(s.photos);
  placeSlideMarks(s);

  auto under = [&](double sx, double sy) { return panelPoint(s.pose.tablePointUnder(sx, sy)); };
  const double l = g.bodyLeft(), t = g.bodyTop(), r = l + g.bodyWidth(), b = t + g.bodyHeight();
  placeQuad(body_, {under(l, t), under(r, t), under(r, b), under(l, b)});
  const double w = g.screenWidth, h = g.screenHeight;
  placeQuad(screen_, {under(0, 0), under(w, 0), under(w, h), under(0, h)});

  picture_.layer->setHidden(!s.pictureScreenToTable);
  if (s.pictureScreenToTable) {
    auto shown = [&](double sx, double sy) {
      const kit::Point p =
          s.pictureScreenToTable->apply({static_cast<float>(sx), static_cast<float>(sy)});
      return panelPoint(p.x, p.y);
    };
    placeQuad(picture_, {shown(0, 0), shown(w, 0), shown(w, h), shown(0, h)});
  }

  pivot_->setCenter(panelPoint(pivotAt));
  pictureMark_.layer->setHidden(!s.picturePivot);
  if (s.picturePivot) {
    const kit::Point c = under(s.picturePivot->x, s.picturePivot->y);
    const float d = kPicturePivotRadius;
    placeQuad(pictureMark_,
              {kit::Point{c.x, c.y - d}, {c.x + d, c.y}, {c.x, c.y + d}, {c.x - d, c.y}});
  }
  estimateMark_.layer->setHidden(!s.estimatedPivot);
  estimateEntry_->setHidden(!s.estimatedPivot);
  if (s.estimatedPivot) {
    const kit::Point c = under(s.estimatedPivot->x, s.estimatedPivot->y);
    const float d = kEstimateRadius;
    placeQuad(
        estimateMark_,
        {kit::Point{c.x - d, c.y - d}, {c.x + d, c.y - d}, {c.x + d, c.y + d}, {c.x - d, c.y + d}});
  }
}

void BirdsEyeView::placePhotos(const std::vector<TablePhoto>& photos) {
  const std::size_t count = std::min(photos.size(), kMostPhotos);
  while (photos_.size() < count) {
    auto v = std::make_shared<kit::ImageView>();
    v->setUserInteractionEnabled(false);
    photosLayer_->addSubview(v);
    photos_.push_back(std::move(v));
  }
  for (std::size_t i = 0; i < photos_.size(); ++i) {
    kit::ImageView& v = *photos_[i];
    v.setHidden(i >= count);
    if (i >= count) continue;
    if (v.image() != photos[i].image) v.setImage(photos[i].image);
    placeAffine(v, photos[i].bounds, photos[i].pictureTransform);
  }
}

void BirdsEyeView::placeSlideMarks(const State& s) {
  if (!s.slide) {
    slide_.reset();
  } else if (!slide_ || slide_->ends != s.slide->ends) {
    // A slide made while the last one's marks still show (a key held
    // down) carries the marks on from where the first began.
    const bool run = slide_ && s.time < slide_->ends + kSlideMarkSeconds;
    slide_ = State::Slide{run ? slide_->from : s.slide->from, s.slide->ends};
  }
  const double age = slide_ ? s.time - slide_->ends : 0;
  const double strength = std::clamp((kSlideMarkSeconds - age) / kSlideFadeSeconds, 0.0, 1.0);
  changesUntil_ =
      slide_ ? slide_->ends + kSlideMarkSeconds : -std::numeric_limits<double>::infinity();
  if (!slide_ || !(strength > 0)) {
    slideMarks_.reset();
    slideLayer_->setHidden(true);
    arrowLayer_->setHidden(true);
    return;
  }
  const kit::TabletPose& from = slide_->from;
  const kit::TabletBody& g = geometry_;
  auto tableAt = [](const kit::TabletPose& pose, kit::Point p) {
    const kit::Vector3 t = pose.tablePointUnder(p.x, p.y);
    return kit::Point{static_cast<float>(t.x), static_cast<float>(t.y)};
  };
  const kit::AffineTransform wasToPanel = affineThrough([&](kit::Point p) {
    const kit::Point t = tableAt(from, p);
    return panelPoint(t.x, t.y);
  });
  const kit::Rect body{static_cast<float>(g.bodyLeft()), static_cast<float>(g.bodyTop()),
                       static_cast<float>(g.bodyWidth()), static_cast<float>(g.bodyHeight())};
  placeAffine(*ghost_, body, wasToPanel);
  const float l = body.origin.x, t = body.origin.y, r = l + body.size.width,
              b = t + body.size.height;
  placeQuad(ghostOutline_, {wasToPanel.apply({l, t}), wasToPanel.apply({r, t}),
                            wasToPanel.apply({r, b}), wasToPanel.apply({l, b})});

  // The arrow runs from the body's leading edge where it was to where that
  // point of the body is now, beside the pivot marks in the middle rather
  // than under them.
  const kit::Point middle{(l + r) / 2, (t + b) / 2};
  const kit::Point a = tableAt(from, middle), z = tableAt(s.pose, middle);
  // The way it went, in the body's own axes (screen points), to find the
  // edge it led with.
  const kit::AffineTransform tableToBody =
      affineThrough([&](kit::Point p) { return tableAt(from, p); }).inverted();
  const kit::Point along = tableToBody.applyToVector({z.x - a.x, z.y - a.y});
  SlideMarks marks;
  marks.body = ghostOutline_.corners;
  marks.strength = static_cast<float>(strength);
  const float length = std::hypot(along.x, along.y);
  kit::Point edge = middle;
  if (length > 1e-3f) {
    constexpr float kFar = std::numeric_limits<float>::infinity();
    const float reach = std::min(along.x != 0 ? body.size.width / 2 / std::fabs(along.x) : kFar,
                                 along.y != 0 ? body.size.height / 2 / std::fabs(along.y) : kFar);
    edge = {middle.x + along.x * reach, middle.y + along.y * reach};
  }
  const double inches = std::hypot(z.x - a.x, z.y - a.y) / g.pointsPerInch;
  // A slide waiting behind another move has not gone anywhere yet.
  char words[64];
  if (inches < 0.05)
    std::snprintf(words, sizeof words, "sliding from the yellow outline");
  else
    std::snprintf(words, sizeof words, "slid %g in from the yellow outline",
                  std::round(inches * 10) / 10);
  marks.caption = words;
  caption_->setText(marks.caption);
  const kit::Point edgeWas = tableAt(from, edge), edgeNow = tableAt(s.pose, edge);
  marks.from = panelPoint(edgeWas.x, edgeWas.y);
  marks.to = panelPoint(edgeNow.x, edgeNow.y);
  const float dx = marks.to.x - marks.from.x, dy = marks.to.y - marks.from.y,
              drawn = std::hypot(dx, dy);
  arrowLayer_->setHidden(!(drawn > 0.5f));
  if (drawn > 0.5f) {
    const float ux = dx / drawn, uy = dy / drawn, head = std::min(kArrowHead, 0.8f * drawn);
    // The shaft stops short of the tip, which the head's sides make sharp.
    const kit::Point shaftEnd{marks.to.x - ux * kArrowLine, marks.to.y - uy * kArrowLine};
    placeLine(*arrowLines_[0], marks.from, shaftEnd, kArrowLine);
    placeLine(*arrowShadows_[0], marks.from, shaftEnd, kArrowShadow);
    for (int side : {1, 2}) {
      const float k = side == 1 ? 1.f : -1.f;
      const kit::Point back{marks.to.x - head * (ux * 0.8f - k * uy * 0.6f),
                            marks.to.y - head * (uy * 0.8f + k * ux * 0.6f)};
      placeLine(*arrowLines_[side], back, marks.to, kArrowLine);
      placeLine(*arrowShadows_[side], back, marks.to, kArrowShadow);
    }
  }
  slideLayer_->setHidden(false);
  slideLayer_->setAlpha(marks.strength);
  arrowLayer_->setAlpha(marks.strength);
  slideMarks_ = marks;
}

std::size_t BirdsEyeView::photosShown() const {
  return static_cast<std::size_t>(
      std::count_if(photos_.begin(), photos_.end(), [](const auto& v) { return !v->isHidden(); }));
}

std::array<kit::Point, 4> BirdsEyeView::photoCorners(std::size_t i) const {
  const kit::View& v = *photos_.at(i);
  const kit::Rect b = v.bounds();
  const float l = b.origin.x, t = b.origin.y, r = l + b.size.width, bottom = t + b.size.height;
  std::array<kit::Point, 4> corners;
  const kit::Point in[4] = {{l, t}, {r, t}, {r, bottom}, {l, bottom}};
  for (int k = 0; k < 4; ++k) corners[k] = v.convertPointToView(in[k], root_.get());
  return corners;
}

std::optional<BirdsEyeView::SlideMarks> BirdsEyeView::slideMarks() const { return slideMarks_; }

const std::array<kit::Point, 4>& BirdsEyeView::outline(Outline which) const {
  switch (which) {
    case Outline::Body: return body_.corners;
    case Outline::Screen: return screen_.corners;
    case Outline::Picture: break;
  }
  return picture_.corners;
}

bool BirdsEyeView::isOutlineShown(Outline which) const {
  return which != Outline::Picture || !picture_.layer->isHidden();
}

kit::Point BirdsEyeView::pivotMark() const { return pivot_->center(); }

std::optional<kit::Point> BirdsEyeView::picturePivotMark() const {
  if (pictureMark_.layer->isHidden()) return std::nullopt;
  const auto& c = pictureMark_.corners;
  return kit::Point{c[0].x, c[1].y};
}

std::optional<kit::Point> BirdsEyeView::estimatedPivotMark() const {
  if (estimateMark_.layer->isHidden()) return std::nullopt;
  const auto& c = estimateMark_.corners;
  return kit::Point{(c[0].x + c[2].x) / 2, (c[0].y + c[2].y) / 2};
}

std::size_t BirdsEyeView::tilesShown() const { return table_->subviews().size(); }

}  // namespace desktop
