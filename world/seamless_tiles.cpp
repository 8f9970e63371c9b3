// The table surface as an endless field of mirrored tiles, kept centred
// under the screen; and the wrap of pieces at the table square's edge.
#include <algorithm>
#include <array>
#include <cmath>

#include "app/vitrane_view_controller.h"
#include "kit/log.h"

namespace {

constexpr double kTableSquare = 4096;

// Neighbouring tiles mirror each other, so any photo joins its neighbours
// without a seam: the orientation follows the parities of column and row.
kit::ImageOrientation tileOrientation(int column, int row) {
  const bool oddColumn = column % 2 != 0;
  const bool oddRow = row % 2 != 0;
  if (!oddColumn && !oddRow) return kit::ImageOrientation::Up;
  if (oddColumn && !oddRow) return kit::ImageOrientation::UpMirrored;
  if (!oddColumn && oddRow) return kit::ImageOrientation::DownMirrored;
  return kit::ImageOrientation::Down;
}

// Tiles along one axis: a multiple of 6, at least 18, reaching well past
// the screen's diagonal on both sides.
int tileCount(double diagonal, int pitch) {
  return 3 * std::max(6, 2 * static_cast<int>(std::floor(diagonal / pitch)) + 4);
}

double screenDiagonal(int width, int height) {
  return std::sqrt(static_cast<double>(width * width + height * height));
}

// Every tile is a view of its own. A picture of a few points would need
// millions of them (59 million for one point) and exhaust the memory; this
// bound still takes any picture at least 26 points on both sides.
constexpr long long kMostTiles = 100000;

}  // namespace

void VitraneforiPadViewController::updateTilePatch(const kit::ImageRef& image) {
  // A pitch below one point would make an endless number of tiles: keep
  // the field there is.
  const kit::Size displayed = image ? image->size() : kit::Size{};
  if (!image || !image->bitmap() || displayed.width < 1 || displayed.height < 1) {
    kit::log("Refusing a table image of %1.1f by %1.1f points: a tile needs at least one point",
             displayed.width, displayed.height);
    return;
  }
  // The tiles show the stored bitmap, so the pitches are its own size,
  // whatever way the image is meant to be turned.
  const bool quarterTurned = kit::isQuarterTurned(image->orientation());
  const int pitchX = static_cast<int>(quarterTurned ? displayed.height : displayed.width);
  const int pitchY = static_cast<int>(quarterTurned ? displayed.width : displayed.height);
  const double diagonal = screenDiagonal(geometry.screenWidth, geometry.screenHeight);
  const long long nTiles =
      static_cast<long long>(tileCount(diagonal, pitchX)) * tileCount(diagonal, pitchY);
  if (nTiles > kMostTiles) {
    kit::log("Refusing a table image of %1.1f by %1.1f points: its field would need %d tiles",
             displayed.width, displayed.height, nTiles);
    return;
  }
  tiles.tileHorizontalPitch = pitchX;
  tiles.tileVerticalPitch = pitchY;
  outlets.seamlessTiles->setHidden(false);
  setupSeamlessTiles(image);
}

void VitraneforiPadViewController::setupSeamlessTiles(const kit::ImageRef& image) {
  outlets.seamlessTiles->removeAllSubviews();
  kit::log("The tile size is %d by %d", tiles.tileHorizontalPitch, tiles.tileVerticalPitch);

  const double diagonal = screenDiagonal(geometry.screenWidth, geometry.screenHeight);
  const int columns = tileCount(diagonal, tiles.tileHorizontalPitch);
  const int rows = tileCount(diagonal, tiles.tileVerticalPitch);
  kit::log("Tile array is %d by %d", columns, rows);

  const auto pitchX = static_cast<float>(tiles.tileHorizontalPitch);
  const auto pitchY = static_cast<float>(tiles.tileVerticalPitch);
  outlets.seamlessTiles->setFrame({0, 0, columns * pitchX, rows * pitchY});
  outlets.seamlessTiles->setCenter(
      view()->convertPointToView(geometry.center.anchor, outlets.tableTopView.get()));

  const kit::Point centre = outlets.seamlessTiles->center();
  const kit::Rect frame = outlets.seamlessTiles->frame();
  kit::log("Seamless tile setup center location is %1.0f,%1.0f", centre.x, centre.y);
  kit::log(" origin is %1.0f,%1.0f", frame.origin.x, frame.origin.y);
  kit::log(" size is %1.0f,%1.0f, diagonal is %1.0f", frame.size.width, frame.size.height,
           diagonal);

  // Every tile shows the one stored bitmap; only the orientation flag
  // differs, so four images serve the whole field.
  std::array<kit::ImageRef, 4> faces;
  for (int k = 0; k < 4; ++k)
    faces[k] = std::make_shared<kit::Image>(image->bitmap(), tileOrientation(k % 2, k / 2), 1.0f);
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column) {
      auto tile = std::make_shared<kit::ImageView>(faces[(column % 2) + 2 * (row % 2)]);
      tile->setFrame({column * pitchX, row * pitchY, pitchX, pitchY});
      outlets.seamlessTiles->addSubview(std::move(tile));
    }
}

void VitraneforiPadViewController::adjustSeamlessPatch() {
  // The point of the table under the screen's centre, where the field is placed.
  const kit::Point p =
      view()->convertPointToView(geometry.center.anchor, outlets.stretcherView.get());
  const double periodX = 2.0 * tiles.tileHorizontalPitch;
  const double periodY = 2.0 * tiles.tileVerticalPitch;
  // Whole periods only (the lattice point at or below P, never the
  // nearest): the pattern repeats every period, so the jump cannot be seen.
  outlets.seamlessTiles->setCenter({static_cast<float>(std::floor(p.x / periodX) * periodX),
                                    static_cast<float>(std::floor(p.y / periodY) * periodY)});
}

void VitraneforiPadViewController::pieceThroughEdge(kit::View& piece, kit::Point proposedCenter) {
  const double x = proposedCenter.x;
  const double y = proposedCenter.y;
  const double wrappedX = x - std::floor(x / kTableSquare) * kTableSquare;
  const double wrappedY = y - std::floor(y / kTableSquare) * kTableSquare;
  piece.setCenter({static_cast<float>(wrappedX), static_cast<float>(wrappedY)});
  platform_.sounds().playSystemSound(systemSounds.transitSoundFileObject);
}
