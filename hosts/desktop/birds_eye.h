// The table seen from straight above, in a small panel beside the screen:
// the virtual table the simulated tablet lies on, with the tablet's body
// and screen drawn where they are, the point it would turn about, the one
// the picture turns about and the one the sensors told, and where the
// picture on the screen believes the screen lies. When the illusion holds,
// the picture's outline sits on the screen's; where it does not, the two
// part, and the eye sees by how much and which way.
//
// The table is drawn with the picture's own tiles, laid as the picture had
// them at launch: at launch the picture counts as showing the table
// exactly (as the headless `illusion` line counts it), which fixes once and
// for all which table point each picture point stands for.
//
// A legend along its bottom edge names the outlines and marks; the photos,
// while the application shows them, lie on the table where the picture
// puts them; and a slide, which the screen does not show (the application
// senses turns, not slides), leaves for a moment the body's outline where
// it began and an arrow the way it went.
//
// The panel is a kit view tree of its own, drawn by the compositor beside
// the application's window; it is no part of that window and takes no
// touches.
#pragma once

#include <array>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kit/geometry.h"
#include "kit/image.h"
#include "kit/image_view.h"
#include "kit/label.h"
#include "kit/simulated_tablet.h"
#include "kit/view.h"

namespace desktop {

// --- Where the panel goes in the window ------------------------------------

// Drawable pixels from the drawable's top-left corner; a square.
struct PanelRect {
  int x = 0, y = 0, side = 0;
  bool overScreen = false;  // laid over the screen for want of room beside it
  friend bool operator==(const PanelRect&, const PanelRect&) = default;
};

// Auto: shown when the letterbox's bars have room for it. B makes the
// choice the person's: Shown lays it over a corner of the window when the
// bars are too narrow, Hidden hides it whatever the room.
enum class BirdsEyeMode { Auto, Shown, Hidden };

inline constexpr float kBirdsEyePoints = 256;       // the panel's side at the screen's scale
inline constexpr float kBirdsEyeMarginPoints = 12;  // from the screen and the window's edges
inline constexpr int kSmallestPanelBeside = 120;    // pixels: smaller is not worth the room
inline constexpr int kSmallestPanelOver = 48;

// In the bar right of the screen (a wide window) or below it (a tall one),
// top-aligned beside the screen or right-aligned under it; none when that
// bar cannot hold kSmallestPanelBeside pixels within its margins.
std::optional<PanelRect> birdsEyeBesideScreen(int drawableWidth, int drawableHeight);
std::optional<PanelRect> placeBirdsEye(int drawableWidth, int drawableHeight, BirdsEyeMode mode);
// What the B key makes of the mode: the opposite of what is seen now.
BirdsEyeMode toggledBirdsEye(BirdsEyeMode mode, int drawableWidth, int drawableHeight);

// The window the program opens with, in window units, from the display's
// usable size (0 when unknown): the screen at one unit a point where that
// fits in nine tenths of the display, smaller where it does not, and wide
// enough for the panel in its bar when that costs the screen little of its
// size. An unknown display gets the screen alone at one unit a point.
struct WindowSize {
  int width = 0, height = 0;
  friend bool operator==(const WindowSize&, const WindowSize&) = default;
};
WindowSize initialWindowSize(int usableWidth, int usableHeight);

// The affine map that f is (f must be one), read off points 1000 apart so
// that single precision keeps it to well under a point over a table.
kit::AffineTransform affineThrough(const std::function<kit::Point(kit::Point)>& f);

// --- What the panel shows ------------------------------------------------------

// The picture's tile field: a lattice of tiles of one size, neighbours
// mirrored, in the picture's coordinates (those of the view that carries
// the finger twist, the innermost of the world).
struct TileField {
  // By column parity + 2 × row parity, counted from the tile at origin.
  std::array<kit::ImageRef, 4> faces;
  kit::Point origin;  // a tile's top-left corner
  float pitchX = 0, pitchY = 0;
  friend bool operator==(const TileField&, const TileField&) = default;
};

// A photo lying on the table, as the picture places it.
struct TablePhoto {
  kit::ImageRef image;
  kit::Rect bounds;                       // the photo view's own
  kit::AffineTransform pictureTransform;  // its bounds' points to picture points
};

// The photos in `layer` (the application's photos layer) while it shows,
// in the coordinates of `picture` (the view the panel's table is laid in):
// none while the layer is hidden or faded out, and none of those that are.
std::vector<TablePhoto> photosOnTable(const kit::View& layer, const kit::View& picture);

class BirdsEyeView {
 public:
  // Table points across the panel: enough for a tablet turning about a
  // corner pivot at the centre to stay in view.
  static constexpr double kSpan = 3300;
  // The view centres the point the tablet would turn about, so that a turn
  // goes about the panel's still centre; when that point moves (a lift
  // takes it to a corner, a slide carries it along) the view glides after
  // it, closing all but 1/e of the way in this time.
  static constexpr double kGlideSeconds = 0.12;
  // More tiles than this (a photo of a few points) and the table is drawn
  // plain: a tile is a view of its own.
  static constexpr long long kMostTiles = 400;
  // Photos drawn at most: each is a view of its own, kept from frame to frame.
  static constexpr std::size_t kMostPhotos = 10;
  // A slide's marks stay this long after it ends, the last part fading.
  static constexpr double kSlideMarkSeconds = 1.0;
  static constexpr double kSlideFadeSeconds = 0.6;

  explicit BirdsEyeView(const kit::TabletBody& geometry);

  // The tree to draw: kBirdsEyePoints square.
  const std::shared_ptr<kit::View>& root() const { return root_; }

  // The table: the tiles and the map from picture points to the table
  // points they stand for. Without tiles the table is a plain colour.
  // Setting what is set already costs nothing.
  void setTable(std::optional<TileField> field, const kit::AffineTransform& pictureToTable);

  struct State {
    double time = 0;  // seconds, for the view's glide
    kit::TabletPose pose;
    kit::Point pivot;  // screen point of the body that a turn would go about
    // The screen point the picture turns about, if it says. It is marked
    // where that point of the tablet lies now, so the mark sits on the
    // tablet's pivot when the two agree.
    std::optional<kit::Point> picturePivot;
    // The screen point the sensors say a flat turn goes about, if they
    // have said: marked where that point of the tablet lies now, beside
    // the two above.
    std::optional<kit::Point> estimatedPivot;
    // Screen point → the table point the picture shows there.
    std::optional<kit::AffineTransform> pictureScreenToTable;
    // Drawn on the table, the first kMostPhotos of them.
    std::vector<TablePhoto> photos;
    // The latest slide, if any: on the screen a slide shows nothing, so
    // the panel marks where the tablet was and which way it went.
    struct Slide {
      kit::TabletPose from;  // where the tablet lay when the slide began
      double ends = 0;       // when it ends, on `time`'s clock
    };
    std::optional<Slide> slide;
  };
  void update(const State& state);

  // Panel points of a table point, as the last update placed the view.
  kit::Point panelPoint(double tableX, double tableY) const;
  kit::Point panelPoint(const kit::Vector3& p) const { return panelPoint(p.x, p.y); }
  kit::Point viewCentre() const {
    return {static_cast<float>(centreX_), static_cast<float>(centreY_)};
  }

  // What is drawn, in panel points, for checking: the corners of each
  // outline in the order top-left, top-right, bottom-right, bottom-left of
  // the screen, and the pivots' centres.
  enum class Outline { Body, Screen, Picture };
  const std::array<kit::Point, 4>& outline(Outline which) const;
  bool isOutlineShown(Outline which) const;
  kit::Point pivotMark() const;
  std::optional<kit::Point> picturePivotMark() const;
  std::optional<kit::Point> estimatedPivotMark() const;
  std::size_t tilesShown() const;

  // The photos drawn, in the order given; each one's view stays the same
  // from update to update for as long as there are as many photos.
  std::size_t photosShown() const;
  const kit::View& photoView(std::size_t i) const { return *photos_[i]; }
  // A drawn photo's corners in panel points, read through the view tree:
  // those of its bounds, top-left, top-right, bottom-right, bottom-left.
  std::array<kit::Point, 4> photoCorners(std::size_t i) const;

  // What shows of the latest slide: the body's outline where it was, and
  // an arrow from where its leading edge was to where it is.
  struct SlideMarks {
    std::array<kit::Point, 4> body;  // as outline(Outline::Body)
    kit::Point from, to;
    float strength = 0;   // 1 while it is fresh, down to 0 as it fades
    std::string caption;  // along the top edge: how far, and what the yellow outline is
  };
  std::optional<SlideMarks> slideMarks() const;
  // Until when the panel changes though nothing else moves (a slide's
  // marks fading), on `time`'s clock; the host draws until then.
  double changesUntil() const { return changesUntil_; }

  // The legend's entries that show, each a swatch and its words, in panel points.
  struct LegendEntry {
    std::string words;
    kit::Rect frame;
  };
  std::vector<LegendEntry> legend() const;
  // The legend's strip, along the bottom edge under every outline and mark.
  kit::Rect legendFrame() const;

 private:
  // Four lines joining four corners.
  struct Quad {
    std::shared_ptr<kit::View> layer;
    std::array<std::shared_ptr<kit::View>, 4> edges;
    std::array<kit::Point, 4> corners;
    float width = 1;
  };
  Quad makeQuad(kit::Color colour, float width, kit::View* parent = nullptr);
  void placeQuad(Quad& q, const std::array<kit::Point, 4>& corners);
  void follow(double x, double y, double time);
  void layTiles();
  void placePhotos(const std::vector<TablePhoto>& photos);
  void placeSlideMarks(const State& s);
  void makeLegend();

  kit::TabletBody geometry_;
  std::shared_ptr<kit::View> root_;
  std::shared_ptr<kit::View> table_;        // in picture coordinates
  std::shared_ptr<kit::View> photosLayer_;  // in picture coordinates too
  std::vector<std::shared_ptr<kit::ImageView>> photos_;
  std::shared_ptr<kit::View> legend_;
  std::vector<std::pair<std::shared_ptr<kit::View>, std::string>> legendEntries_;
  std::shared_ptr<kit::View> estimateEntry_;
  // A slide's marks: the body where it began, filled faintly and outlined,
  // under the outlines; the arrow over them.
  std::shared_ptr<kit::View> slideLayer_, ghost_, arrowLayer_;
  std::shared_ptr<kit::Label> caption_;
  Quad ghostOutline_;
  // The shaft, then the head's sides: dark under, bright over, so that the
  // arrow shows on pale photos as on the wood.
  std::array<std::shared_ptr<kit::View>, 3> arrowShadows_, arrowLines_;
  Quad picture_, body_, screen_, pictureMark_, estimateMark_;
  std::shared_ptr<kit::View> pivot_;

  std::optional<State::Slide> slide_;  // the latest, its start kept through a run of them
  std::optional<SlideMarks> slideMarks_;
  double changesUntil_ = -std::numeric_limits<double>::infinity();

  std::optional<TileField> field_;
  kit::AffineTransform pictureToTable_;
  std::array<int, 4> tileRange_{0, -1, 0, -1};  // first and last column, row
  double centreX_ = 0, centreY_ = 0, time_ = 0;
  bool placed_ = false;
};

}  // namespace desktop
