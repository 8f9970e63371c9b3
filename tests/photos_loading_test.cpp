// Loading library photos onto the table: at most ten a load, fifty albums
// looked into, random drops within their ranges, the button's toggle after
// a load, and loads that fail or overlap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "hosts/headless/runner.h"
#include "kit/random_source.h"
#include "photos/moving_image_view.h"
#include "tests/app_fixture.h"
#include "tests/photo_files.h"
#include "tests/photo_formats.h"

namespace {

class PhotoLoadTest : public ::testing::Test {
 protected:
  void launch(std::uint32_t seed = 2024) {
    runner.configure(headless::LibraryFolder{folder.path().string()});
    runner.configure(headless::Seed{seed});
    runner.launch();
    seen_ = lines().size();
  }
  // A request, and everything it leads to.
  void request() {
    vc().wanderInPhotos();
    runner.settle();
  }

  VitraneforiPadViewController& vc() { return *runner.controller(); }
  std::vector<std::string> lines() const { return apptest::splitLines(out.str()); }
  std::vector<std::string> newLines() {
    auto all = lines();
    std::vector<std::string> fresh(all.begin() + static_cast<long>(seen_), all.end());
    seen_ = all.size();
    return fresh;
  }
  static long count(const std::vector<std::string>& lines, const std::string& prefix) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  }
  std::vector<MovingImageView*> pieces() {
    std::vector<MovingImageView*> result;
    for (const auto& v : vc().outlets.photosLayerView->subviews())
      if (auto* p = dynamic_cast<MovingImageView*>(v.get())) result.push_back(p);
    return result;
  }

  phototest::TempFolder folder;
  std::ostringstream out;
  headless::Runner runner{{}, out};

 private:
  size_t seen_ = 0;
};

TEST_F(PhotoLoadTest, TenOfTwentyFivePhotosArePlacedWithIndicesZeroToNineThenTheLayerIsShown) {
  for (int i = 0; i < 25; ++i)
    phototest::writePng(folder / ("Album/p" + std::to_string(10 + i) + ".png"), 40, 30);
  launch();
  request();
  const auto log = newLines();

  ASSERT_EQ(pieces().size(), 10u);
  std::vector<std::string> adding;
  for (const auto& l : log)
    if (l.rfind("Adding the ", 0) == 0) adding.push_back(l);
  ASSERT_EQ(adding.size(), 10u);
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(adding[i], "Adding the " + std::to_string(i) + "'th wandering image");

  // The lines of one photo, in their order, and the album's around them.
  auto at = [&](const std::string& text) {
    return std::find(log.begin(), log.end(), text) - log.begin();
  };
  EXPECT_LT(at("Group PropertyName is Album"),
            at("Asset representation is <AssetRepresentation Album/p10.png PNG>"));
  EXPECT_EQ(at("Adding the 0'th wandering image") + 1, at("Frame is 40.0x30.0"));
  // An album's photos arrive inside its group callback, before its count.
  EXPECT_LT(at("Asset representation is <AssetRepresentation Album/p19.png PNG>"),
            at("1 groups enumerated"));
  EXPECT_EQ(count(log, "Asset representation is "), 10);
  EXPECT_EQ(count(log, "Album photo coordinates are shift of "), 10);
  EXPECT_LT(at("Asset representation is <AssetRepresentation Album/p19.png PNG>"),
            at("Moving photos to near their origin."));

  EXPECT_TRUE(vc().photos.loadedPhotos);
  EXPECT_TRUE(vc().photos.showingPhotos);
  EXPECT_EQ(vc().photos.nAssetsEnumerated, 10);
  EXPECT_FALSE(vc().outlets.waitSpinner->isAnimating());
  EXPECT_TRUE(
      vc().outlets.waitSpinner->isHidden());  // a stopped spinner hides, as the platform's does
  const kit::Button& button = *vc().outlets.wanderIntoPhotosButton;
  EXPECT_TRUE(button.isSelected());
  EXPECT_EQ(button.titleForState(kit::ControlState::Selected), "Hide Photos");
  EXPECT_EQ(button.titleForState(kit::ControlState::Normal), "Show Photos");
  EXPECT_EQ(vc().outlets.photosLayerView->alpha(), 1.0f);
  EXPECT_FALSE(vc().outlets.tableBoundaryView->isHidden());
  EXPECT_EQ(vc().outlets.instructionsView->alpha(), 0.0f);
  for (MovingImageView* piece : pieces()) {
    EXPECT_TRUE(piece->isUserInteractionEnabled());
    EXPECT_EQ(piece->gestureRecognizers().size(), 5u);
    EXPECT_EQ(piece->velocityPerFrame, (kit::Point{0, 0}));
  }
}

TEST_F(PhotoLoadTest, OfSixtyAlbumsTheFirstFiftyAreLookedIntoAndAllSixtyCounted) {
  for (int i = 0; i < 60; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "album%02d", i);
    phototest::writePng(folder / (std::string(name) + "/a.png"), 8, 6);
  }
  launch();
  request();
  const auto log = newLines();
  EXPECT_EQ(count(log, "Group PropertyName is "), 50);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Group PropertyName is album49"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Group PropertyName is album50"), 0);
  for (int n = 1; n <= 60; ++n)
    EXPECT_EQ(std::count(log.begin(), log.end(), std::to_string(n) + " groups enumerated"), 1) << n;
  EXPECT_EQ(vc().photos.nGroupsEnumerated, 60);
  EXPECT_EQ(pieces().size(), 10u);
}

TEST_F(PhotoLoadTest, DropsTakeTheirPlaceScaleHeadingAndSpinFromTheRandomSourceInOrder) {
  for (int i = 0; i < 10; ++i)
    phototest::writePng(folder / ("A/" + std::to_string(i) + ".png"), 60, 40);
  launch(/*seed=*/99);
  const kit::Point table = vc().outlets.tableTopView->center();
  request();

  // An independent replay of the draws: a, b, c, d, e, f and, for a
  // spinning photo, g.
  kit::RandomSource random;
  random.seed(99);
  const std::set<double> spins = {5.0 / 120, 5.0 / 240, 5.0 / 360, 5.0 / 480, 5.0 / 600};
  int resting = 0;
  for (MovingImageView* piece : pieces()) {
    const std::uint32_t a = random.next(), b = random.next(), c = random.next(), d = random.next();
    const std::uint32_t e = random.next(), f = random.next();
    const double dx = 2.0 * (a % 800) - 800, dy = 2.0 * (b % 800) - 800;
    EXPECT_EQ(piece->center(),
              (kit::Point{static_cast<float>(table.x + dx), static_cast<float>(table.y + dy)}));
    EXPECT_GE(dx, -800);
    EXPECT_LE(dx, 798);
    EXPECT_EQ(piece->yawRadians, static_cast<float>((d % 360) * std::numbers::pi / 180));
    const kit::AffineTransform t = piece->transform();
    EXPECT_NEAR(std::hypot(t.a, t.b), 1.0 / (2 + c % 3), 1e-6);
    EXPECT_NEAR(std::atan2(t.b, t.a), std::remainder(piece->yawRadians, 2 * std::numbers::pi),
                1e-5);
    if (f % 4 == 1) {
      EXPECT_EQ(piece->radiansPerFrame, 0);
      ++resting;
    } else {
      const std::uint32_t g = random.next();
      EXPECT_DOUBLE_EQ(piece->radiansPerFrame, (e % 2 ? 5.0 : -5.0) / (120.0 * (1 + g % 5)));
      EXPECT_EQ(spins.count(std::abs(piece->radiansPerFrame)), 1u);
    }
  }
  EXPECT_LT(resting, 10);
}

TEST_F(PhotoLoadTest, AfterALoadTheButtonHidesAndShowsThePhotos) {
  phototest::writePng(folder / "A/a.png", 8, 6);
  launch();
  request();
  newLines();

  vc().outlets.telescoperView->setCenter({1, 2});
  request();  // shown: hide
  EXPECT_FALSE(vc().photos.showingPhotos);
  EXPECT_FALSE(vc().outlets.wanderIntoPhotosButton->isSelected());
  EXPECT_EQ(vc().outlets.photosLayerView->alpha(), 0.0f);
  EXPECT_TRUE(vc().outlets.tableBoundaryView->isHidden());
  EXPECT_EQ(vc().outlets.telescoperView->center(), (kit::Point{1, 2}));  // hiding leaves the table

  vc().showInstructionsPanel();
  request();  // hidden: show, with the table back home
  EXPECT_TRUE(vc().photos.showingPhotos);
  EXPECT_TRUE(vc().outlets.wanderIntoPhotosButton->isSelected());
  EXPECT_EQ(vc().outlets.photosLayerView->alpha(), 1.0f);
  EXPECT_EQ(vc().outlets.instructionsView->alpha(), 0.0f);
  EXPECT_NE(vc().outlets.telescoperView->center(), (kit::Point{1, 2}));
  EXPECT_EQ(pieces().size(), 1u);  // no second load
  const auto log = newLines();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Moving photos to near their origin."), 1);
  EXPECT_EQ(count(log, "Adding the "), 0);
}

TEST_F(PhotoLoadTest, ASecondRequestDuringALoadResetsTheCountsAndItsEndChangesNothing) {
  for (int i = 0; i < 4; ++i)
    phototest::writePng(folder / ("A/p" + std::to_string(10 + i) + ".png"), 8, 6);
  for (int i = 0; i < 25; ++i)
    phototest::writePng(folder / ("B/p" + std::to_string(10 + i) + ".png"), 8, 6);
  launch();
  vc().wanderInPhotos();
  kit::BackgroundQueue& queue = runner.platform()->backgroundQueue();
  while (pieces().size() < 4) ASSERT_GT(queue.step(), 0u);  // album A
  EXPECT_EQ(pieces().size(), 4u);
  EXPECT_FALSE(vc().photos.loadedPhotos);

  request();  // still loading: another load, counts from 0
  const auto log = newLines();
  // The first load goes on with the counts reset and places ten more from
  // album B; the counts are the controller's, shared by both loads, so the
  // second finds ten placed and places none.
  EXPECT_EQ(pieces().size(), 14u);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Adding the 0'th wandering image"), 2);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Adding the 9'th wandering image"), 1);
  // Shown once, by the first load's end; the second finds it shown.
  EXPECT_EQ(std::count(log.begin(), log.end(), "Moving photos to near their origin."), 1);
  // The reset counts the first load's album B as the first again; the
  // second load's albums go on from there.
  EXPECT_EQ(std::count(log.begin(), log.end(), "1 groups enumerated"), 2);
  EXPECT_EQ(std::count(log.begin(), log.end(), "3 groups enumerated"), 1);
  EXPECT_TRUE(vc().photos.loadedPhotos);
  EXPECT_TRUE(vc().photos.showingPhotos);
}

TEST_F(PhotoLoadTest, ARefusedLibraryOnlyLogsAndTheNextRequestTriesAgain) {
  runner.configure(headless::LibraryRefused{});
  runner.launch();
  newLines();
  request();
  EXPECT_EQ(newLines(),
            (std::vector<std::string>{"The error User denied access to the photo library"}));
  EXPECT_TRUE(vc().outlets.waitSpinner->isAnimating());
  EXPECT_FALSE(vc().outlets.waitSpinner->isHidden());
  EXPECT_FALSE(vc().photos.loadedPhotos);
  EXPECT_FALSE(vc().photos.showingPhotos);
  request();
  EXPECT_EQ(newLines(),
            (std::vector<std::string>{"The error User denied access to the photo library"}));
}

TEST_F(PhotoLoadTest, ALibraryWithoutPhotosCompletesLikeAnyOther) {
  phototest::writeBytes(folder / "A/notes.txt", {'x'});
  launch();
  request();
  EXPECT_TRUE(pieces().empty());
  EXPECT_TRUE(vc().photos.loadedPhotos);
  EXPECT_TRUE(vc().photos.showingPhotos);
  EXPECT_EQ(vc().outlets.wanderIntoPhotosButton->currentTitle(), "Hide Photos");
}

TEST_F(PhotoLoadTest, BadFilesAmongThePhotosArePassedOver) {
  phototest::writeBytes(folder / "A/1.jpg", {});
  phototest::writeBytes(folder / "A/2.png", phototest::pngClaiming(60000, 60000));
  phototest::writeBytes(folder / "A/3.jpg", {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'});
  phototest::writeJpeg(folder / "A/4.jpg", 1600, 1200);
  launch();
  request();
  ASSERT_EQ(pieces().size(), 1u);
  EXPECT_EQ(pieces()[0]->image()->size(), (kit::Size{768, 576}));
  const auto log = newLines();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Adding the 0'th wandering image"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Frame is 768.0x576.0"), 1);
  EXPECT_EQ(count(log, "Photo library: passing over A/"), 3);
}

TEST_F(PhotoLoadTest, ALibraryOfEveryFormatPlacesTenPhotosAtDisplaySize) {
  if (!phototest::canEncodeHeif(heif_compression_HEVC) ||
      !phototest::canEncodeHeif(heif_compression_AV1))
    GTEST_SKIP() << "libheif has no HEVC or AV1 encoder here";
  // Two albums, eleven photos, five formats; large ones to be reduced.
  phototest::writeJpeg(folder / "Beach/1.jpg", 1600, 1200);
  phototest::writePng(folder / "Beach/2.png", 300, 200);
  phototest::writeBytes(folder / "Beach/3.webp", phototest::webpBytes(1600, 1200));
  phototest::writeBytes(folder / "Beach/4.heic", phototest::heifBytes(640, 480));
  phototest::writeBytes(folder / "Beach/5.avif",
                        phototest::heifBytes(640, 480, {heif_compression_AV1}));
  phototest::writeBytes(folder / "Beach/6.webp",
                        phototest::webpWithExif(phototest::gradient(160, 80), 6));
  phototest::writeBytes(
      folder / "Town/t1-turned.HEIC",
      phototest::heifBytes(phototest::gradient(96, 64),
                           {heif_compression_HEVC, 8, heif_orientation_rotate_90_cw}));
  std::filesystem::create_directories(folder / "Town");
  std::filesystem::copy_file(std::string(VITRANE_TEST_DATA) + "/formats/icon-10bit.avif",
                             folder / "Town/t2.avif");
  phototest::writeBytes(folder / "Town/t3.webp", phototest::webpBytes(120, 90, /*lossless*/ true));
  phototest::writeJpeg(folder / "Town/t4.jpg", 100, 100);
  phototest::writeBytes(folder / "Town/t5.webp", phototest::webpBytes(50, 50));
  launch();
  request();
  const auto log = newLines();
  ASSERT_EQ(pieces().size(), 10u);
  EXPECT_EQ(count(log, "Photo library: passing over"), 0);
  auto has = [&](const std::string& line) {
    return std::find(log.begin(), log.end(), line) != log.end();
  };
  EXPECT_TRUE(has("Asset representation is <AssetRepresentation Beach/3.webp WebP>"));
  EXPECT_TRUE(has("Asset representation is <AssetRepresentation Beach/4.heic HEIC>"));
  EXPECT_TRUE(has("Asset representation is <AssetRepresentation Town/t2.avif AVIF>"));
  std::vector<kit::Size> sizes;
  for (MovingImageView* piece : pieces()) {
    ASSERT_TRUE(piece->image());
    EXPECT_EQ(piece->image()->orientation(), kit::ImageOrientation::Up);
    sizes.push_back(piece->image()->size());
  }
  // Display-sized, upright (the EXIF-turned WebP and the HEIC stored on its side).
  EXPECT_EQ(sizes, (std::vector<kit::Size>{{768, 576},
                                           {300, 200},
                                           {768, 576},
                                           {640, 480},
                                           {640, 480},
                                           {80, 160},
                                           {64, 96},
                                           {64, 64},
                                           {120, 90},
                                           {100, 100}}));
}

TEST_F(PhotoLoadTest, PhotosThatCannotBeShownArePassedOverWithTheirReasonAndTheRestPlaced) {
  if (!phototest::canEncodeHeif(heif_compression_HEVC))
    GTEST_SKIP() << "libheif has no HEVC encoder here";
  const phototest::Bytes still = phototest::webpImageChunk(phototest::webpBytes(64, 48));
  phototest::writeBytes(folder / "A/1-unknown-codec.heic",
                        phototest::withFourcc(phototest::heifBytes(64, 48), "hvc1", "vvc1"));
  phototest::writeBytes(folder / "A/2-lies.webp",
                        phototest::webpFile({phototest::vp8x(0, 16000, 16000), still}));
  phototest::writeBytes(folder / "A/3-cut.webp", [] {
    phototest::Bytes b = phototest::webpBytes(64, 48);
    b.resize(b.size() / 2);
    return b;
  }());
  phototest::writeBytes(folder / "A/4-good.webp", phototest::webpBytes(64, 48));
  launch();
  request();
  ASSERT_EQ(pieces().size(), 1u);
  EXPECT_EQ(pieces()[0]->image()->size(), (kit::Size{64, 48}));
  const auto log = newLines();
  auto line = [&](const std::string& start) {
    const auto it = std::find_if(log.begin(), log.end(),
                                 [&](const std::string& l) { return l.rfind(start, 0) == 0; });
    return it == log.end() ? std::string() : *it;
  };
  EXPECT_NE(line("Photo library: passing over A/1-unknown-codec.heic: HEIC: "), "");
  EXPECT_NE(line("Photo library: passing over A/2-lies.webp: WebP: "), "");
  EXPECT_NE(line("Photo library: passing over A/3-cut.webp: WebP: "), "");
}

TEST_F(PhotoLoadTest, TheScenarioFormatsLibraryLinesAndStateDumpShowThePieces) {
  phototest::writePng(folder / "A/a.png", 20, 10);
  std::ostringstream scenarioOut;
  headless::Runner scenarioRunner{{}, scenarioOut};
  headless::Scenario scenario = headless::parseScenario(
      "library " + folder.path().string() +
          "\nseed 5\naction wanderInPhotos\nframes 2\ndump\nprobe piece:0 0 0\n",
      "test.scn", folder.path().string(), VitraneforiPadViewController::actionNames());
  scenarioRunner.run(scenario);
  const auto output = apptest::splitLines(scenarioOut.str());
  const auto state = std::find_if(output.begin(), output.end(),
                                  [](const std::string& l) { return l.rfind("STATE ", 0) == 0; });
  ASSERT_NE(state, output.end());
  const nlohmann::json dump = nlohmann::json::parse(state->substr(6));
  ASSERT_EQ(dump["pieces"].size(), 1u);
  const nlohmann::json& piece = dump["pieces"][0];
  for (const char* key : {"center", "bounds", "transform", "velocityPerFrame", "radiansPerFrame",
                          "prevRotation", "yawRadians", "imageSize", "imageOrientation"})
    EXPECT_TRUE(piece.contains(key)) << key;
  EXPECT_EQ(piece["imageSize"], nlohmann::json::parse("[20, 10]"));
  EXPECT_EQ(piece["imageOrientation"], 0);
  EXPECT_EQ(
      std::count_if(output.begin(), output.end(),
                    [](const std::string& l) { return l.rfind("PROBE piece:0 0 0 ", 0) == 0; }),
      1);
}

}  // namespace
