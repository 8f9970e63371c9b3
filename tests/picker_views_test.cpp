// What the picker shows and how fingers work it: the popover's panel and
// its outside touch, the library grid (tap, scroll, lazy thumbnails), the
// crop step, the camera's full-screen view, and one drawn frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "capture/camera_view_controller.h"
#include "hosts/headless/runner.h"
#include "hosts/headless/scenario.h"
#include "kit/background_queue.h"
#include "kit/button.h"
#include "kit/image_codec.h"
#include "kit/image_picker.h"
#include "kit/image_picker_views.h"
#include "kit/label.h"
#include "kit/popover.h"
#include "kit/popover_presentation.h"
#include "render/compositor.h"
#include "render/offscreen_context.h"
#include "tests/touch_bench.h"

namespace {

namespace fs = std::filesystem;
using kit::Point;
using kit::Rect;
using kit::Size;

constexpr int kPhotos = 30;

// Photo i is (60 + 2i) × 40 pixels of its own colour; photo 0 is 300 × 200.
Size photoSize(int i) { return i == 0 ? Size{300, 200} : Size{60.0f + 2.0f * i, 40}; }
std::uint8_t red(int i) { return static_cast<std::uint8_t>(20 + 7 * i); }

class Recorder : public kit::ImagePickerDelegate {
 public:
  void imagePickerControllerDidFinishPickingMediaWithInfo(
      kit::ImagePickerController&, const kit::ImagePickerInfo& info) override {
    finished.push_back(info);
  }
  void imagePickerControllerDidCancel(kit::ImagePickerController&) override { ++cancels; }
  std::vector<kit::ImagePickerInfo> finished;
  int cancels = 0;
};

class PickerViews : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = fs::temp_directory_path() / ("vitrane-picker-views-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "Album");
    fs::create_directories(folder / ".hidden");
    for (int i = 0; i < kPhotos; ++i) {
      const Size s = photoSize(i);
      kit::Bitmap b = kit::Bitmap::make(static_cast<int>(s.width), static_cast<int>(s.height),
                                        kit::PixelFormat::RGBA8);
      for (std::size_t p = 0; p < b.pixels.size(); p += 4) {
        b.pixels[p] = red(i);
        b.pixels[p + 1] = 200;
        b.pixels[p + 2] = 60;
        b.pixels[p + 3] = 255;
      }
      char name[32];
      std::snprintf(name, sizeof name, "photo%02d.png", i);
      ASSERT_TRUE(kit::writePngFile(b, (folder / "Album" / name).string()));
    }
    std::FILE* junk = std::fopen((folder / "Album" / "notes.txt").c_str(), "w");
    std::fputs("not a picture", junk);
    std::fclose(junk);
  }
  static void TearDownTestSuite() { fs::remove_all(folder); }

  void SetUp() override {
    presenter.view()->setFrame({0, 0, 768, 1024});
    presenter.view()->setBackgroundColor({0, 1, 0, 1});
    bench.root->addSubview(presenter.view());
    services.camera = nullptr;
    services.backgroundQueue = &queue;
    services.libraryPhotoPaths = [] { return kit::listLibraryPhotoPaths(folder.string()); };
  }

  // A library picker in a popover, as the capture flow presents it.
  void openLibrary(bool editing, Size size, Rect from = {300, 0, 600, 800}) {
    picker = std::make_shared<kit::ImagePickerController>(services);
    picker->setDelegate(&recorder);
    picker->setAllowsEditing(editing);
    popover = std::make_shared<kit::PopoverController>(picker);
    popover->onDismissedByUser = [this](kit::PopoverController&) { ++userDismissals; };
    popover->presentFromRect(from, presenter.view().get());
    popover->setContentSize(size);
    queue.settle();
  }

  kit::ImagePickerView& pickerView() { return static_cast<kit::ImagePickerView&>(*picker->view()); }
  kit::PhotoGridView& grid() { return *pickerView().grid(); }
  // The centre of a view's rectangle, in root coordinates.
  Point centreOf(const kit::View& v, const Rect& r) {
    return v.convertPointToView({r.midX(), r.midY()}, nullptr);
  }
  Point cellCentre(std::size_t i) { return centreOf(grid(), grid().cellFrame(i)); }
  Point buttonCentre(const kit::Button& b) { return centreOf(b, b.bounds()); }
  void tap(Point p) {
    bench.tap(p);
    bench.after(1);
    queue.settle();
  }

  static inline fs::path folder;
  touchtest::TouchBench bench;
  kit::BackgroundQueue queue{bench.loop};
  kit::ImagePickerServices services;
  kit::ViewController presenter;
  Recorder recorder;
  std::shared_ptr<kit::ImagePickerController> picker;
  std::shared_ptr<kit::PopoverController> popover;
  int userDismissals = 0;
};

TEST_F(PickerViews, TheLibraryListsPicturesByContentAndSkipsHiddenFolders) {
  const auto paths = kit::listLibraryPhotoPaths(folder.string());
  ASSERT_EQ(paths.size(), static_cast<std::size_t>(kPhotos));
  EXPECT_EQ(fs::path(paths[3]).filename(), "photo03.png");
  EXPECT_TRUE(kit::listLibraryPhotoPaths((folder / "missing").string()).empty());
}

TEST_F(PickerViews, ThePopoverSitsBesideItsRectangleAtItsSizeAndAnOutsideTouchDismissesIt) {
  openLibrary(true, {460, 460}, {100, 100, 50, 50});
  Rect content = popover->contentFrameInRoot();
  EXPECT_EQ(content.size, (Size{460, 460}));
  EXPECT_GT(content.minY(), 150);  // below the rectangle, which has room under it
  EXPECT_LE(content.minX(), 125);
  EXPECT_GE(content.maxX(), 125);
  EXPECT_EQ(picker->view()->superview()->superview(), bench.root.get());

  // The capture flow's rectangle runs off the screen: the panel stays on it.
  popover->dismiss();
  openLibrary(false, {600, 800});
  content = popover->contentFrameInRoot();
  EXPECT_EQ(content.size, (Size{600, 800}));
  EXPECT_GE(content.minX(), 0);
  EXPECT_LE(content.maxX(), 768);
  EXPECT_GE(content.minY(), 0);
  EXPECT_LE(content.maxY(), 1024);
  // Larger than the screen allows: kept inside it.
  popover->setContentSize({2000, 3000});
  content = popover->contentFrameInRoot();
  EXPECT_LE(content.size.width, 768 - 2 * (kit::kPopoverScreenMargin + kit::kPopoverBorder));
  EXPECT_GE(content.minX(), 0);
  EXPECT_LE(content.maxY(), 1024);
  popover->setContentSize({600, 800});
  content = popover->contentFrameInRoot();

  // A touch inside does nothing to it; one outside dismisses it at once, as
  // the user's, and takes the panel away; the finger reaches nothing below.
  int presenterTaps = 0;
  presenter.view()->addGestureRecognizer(std::make_shared<kit::TapGestureRecognizer>(
      [&](kit::GestureRecognizer& g) { presenterTaps += g.state() == kit::GestureState::Ended; }));
  bench.tap({content.minX() + 5, content.minY() + 5});
  EXPECT_TRUE(popover->isPresented());
  bench.down(1, {4, 1020});
  EXPECT_FALSE(popover->isPresented());
  EXPECT_EQ(userDismissals, 1);
  bench.after(0.05);
  bench.up(1);
  EXPECT_EQ(presenterTaps, 0);
  EXPECT_EQ(picker->view()->superview(), nullptr);
  EXPECT_EQ(bench.root->subviews().size(), 1u);
  EXPECT_TRUE(recorder.finished.empty());
  EXPECT_EQ(recorder.cancels, 0);
}

TEST_F(PickerViews, ATapOnAThumbnailPicksThatPhotoWhole) {
  openLibrary(false, {600, 800});
  ASSERT_EQ(grid().count(), static_cast<std::size_t>(kPhotos));
  // Only what is in view (and a row beyond) is decoded, small.
  EXPECT_LT(grid().thumbnailsRequested(), grid().count());
  ASSERT_NE(grid().thumbnail(5), nullptr);
  EXPECT_LE(grid().thumbnail(5)->size().width, grid().cellSide());
  EXPECT_EQ(grid().thumbnail(29), nullptr);  // two rows below the last in view

  tap(cellCentre(5));
  ASSERT_EQ(recorder.finished.size(), 1u);
  const kit::ImagePickerInfo& info = recorder.finished[0];
  ASSERT_NE(info.originalImage, nullptr);
  EXPECT_EQ(info.originalImage->size(), photoSize(5));
  EXPECT_EQ(info.originalImage->bitmap()->pixels[0], red(5));
  EXPECT_EQ(info.editedImage, nullptr);
  EXPECT_FALSE(info.cropRect.has_value());
}

TEST_F(PickerViews, APanScrollsTheGridWithoutPicking) {
  openLibrary(false, {600, 800});
  const std::size_t before = grid().thumbnailsRequested();
  const Point start = cellCentre(9);
  bench.drag(start, {start.x, start.y - 300}, 0.5);
  queue.settle();
  EXPECT_NEAR(grid().contentOffset(), 300, 0.5);
  EXPECT_TRUE(recorder.finished.empty());
  EXPECT_GT(grid().thumbnailsRequested(), before);
  EXPECT_NE(grid().thumbnail(29), nullptr);

  // Scrolled, a tap still picks the cell under the finger.
  tap(cellCentre(26));
  ASSERT_EQ(recorder.finished.size(), 1u);
  EXPECT_EQ(recorder.finished[0].originalImage->size(), photoSize(26));

  // It stops at either end.
  bench.after(1);
  bench.drag({300, 500}, {300, 10}, 0.4);
  EXPECT_FLOAT_EQ(grid().contentOffset(), grid().maximumContentOffset());
  bench.after(1);
  bench.drag({300, 100}, {300, 1000}, 0.4);
  EXPECT_FLOAT_EQ(grid().contentOffset(), 0);
}

TEST_F(PickerViews, TheCropStepMovesAndScalesItsBoxInsideThePhotoAndUseHandsItOver) {
  openLibrary(true, {460, 460});
  tap(cellCentre(0));
  EXPECT_TRUE(recorder.finished.empty());
  kit::CropView* crop = pickerView().cropView();
  ASSERT_NE(crop, nullptr);
  // The largest square, centred: 200 of the photo's 300 × 200.
  EXPECT_EQ(crop->cropRectInPhoto(), (Rect{50, 0, 200, 200}));
  const float shownPerPhoto = crop->photoFrame().size.width / 300;

  // A one-finger pan moves it; it stops at the photo's edge.
  const Point middle = centreOf(*crop, crop->cropBox());
  bench.drag(middle, {middle.x + 30 * shownPerPhoto, middle.y}, 0.3);
  EXPECT_EQ(crop->cropRectInPhoto(), (Rect{80, 0, 200, 200}));
  bench.after(1);
  bench.drag(middle, {middle.x + 400, middle.y + 50}, 0.3);
  EXPECT_EQ(crop->cropRectInPhoto(), (Rect{100, 0, 200, 200}));

  // A pinch halves it about its centre; spreading again stops at the photo.
  bench.after(1);
  const Point c = centreOf(*crop, crop->cropBox());
  bench.down(1, {c.x - 100, c.y});
  bench.down(2, {c.x + 100, c.y});
  for (int i = 1; i <= 20; ++i) {
    bench.after(1 / 120.0);
    bench.move(1, {c.x - 100 + 2.5f * i, c.y});
    bench.move(2, {c.x + 100 - 2.5f * i, c.y});
  }
  bench.up(1);
  bench.up(2);
  EXPECT_EQ(crop->cropRectInPhoto(), (Rect{150, 50, 100, 100}));
  bench.after(1);
  bench.down(1, {c.x - 20, c.y});
  bench.down(2, {c.x + 20, c.y});
  for (int i = 1; i <= 30; ++i) {
    bench.after(1 / 120.0);
    bench.move(1, {c.x - 20 - 10.0f * i, c.y});
    bench.move(2, {c.x + 20 + 10.0f * i, c.y});
  }
  bench.up(1);
  bench.up(2);
  EXPECT_EQ(crop->cropRectInPhoto().size, (Size{200, 200}));

  bench.after(1);
  tap(buttonCentre(*crop->useButton()));
  ASSERT_EQ(recorder.finished.size(), 1u);
  const kit::ImagePickerInfo& info = recorder.finished[0];
  ASSERT_TRUE(info.cropRect.has_value());
  EXPECT_EQ(*info.cropRect, (Rect{100, 0, 200, 200}));
  ASSERT_NE(info.editedImage, nullptr);
  EXPECT_EQ(info.editedImage->size(), (Size{200, 200}));
  EXPECT_EQ(info.originalImage->size(), photoSize(0));
}

TEST_F(PickerViews, CancelInTheCropStepIsThePickersCancel) {
  openLibrary(true, {460, 460});
  tap(cellCentre(3));
  ASSERT_NE(pickerView().cropView(), nullptr);
  tap(buttonCentre(*pickerView().cropView()->cancelButton()));
  EXPECT_EQ(recorder.cancels, 1);
  EXPECT_TRUE(recorder.finished.empty());
}

TEST_F(PickerViews, AFileThatCannotBeReadPicksNothing) {
  services.libraryPhotoPaths = [] {
    return std::vector<std::string>{(folder / "Album" / "notes.txt").string()};
  };
  openLibrary(false, {600, 800});
  tap(cellCentre(0));
  EXPECT_TRUE(recorder.finished.empty());
  EXPECT_FALSE(pickerView().isLoadingPhoto());
  EXPECT_TRUE(popover->isPresented());
}

TEST_F(PickerViews, AnEmptyLibrarySaysSoAndWhereItsPhotosWouldComeFrom) {
  openLibrary(false, {600, 800});
  EXPECT_EQ(pickerView().emptyLibraryNote(), nullptr);  // a library with photos shows them alone

  services.libraryPhotoPaths = [] { return std::vector<std::string>{}; };
  services.libraryLocation = [] { return std::string("/home/someone/Pictures"); };
  openLibrary(false, {600, 800});
  const kit::Label* note = pickerView().emptyLibraryNote();
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->text(),
            "No photos in the photo library\n\nPictures in /home/someone/Pictures and its folders "
            "show here.");
  EXPECT_EQ(note->superview(), &pickerView());
  EXPECT_GT(note->frame().size.width, 0);
  EXPECT_LE(note->frame().maxX(), pickerView().bounds().size.width);

  services.libraryLocation = nullptr;
  openLibrary(false, {600, 800});
  ASSERT_NE(pickerView().emptyLibraryNote(), nullptr);
  EXPECT_EQ(pickerView().emptyLibraryNote()->text(), "No photos in the photo library");
}

TEST_F(PickerViews, AModalPickerCoversTheScreenWhileShown) {
  auto camera = std::make_shared<kit::ImagePickerController>(services);
  camera->setSourceType(kit::ImagePickerSourceType::Camera);
  presenter.presentModalViewController(camera, true);
  ASSERT_EQ(camera->view()->superview(), bench.root.get());
  EXPECT_EQ(bench.root->subviews().back(), camera->view());
  EXPECT_EQ(camera->view()->frame(), (Rect{0, 0, 768, 1024}));
  presenter.dismissModalViewControllerAnimated(true);
  EXPECT_EQ(camera->view()->superview(), nullptr);
}

TEST_F(PickerViews, ThePopoverIsDrawn) {
  std::unique_ptr<render::OffscreenContext> gl;
  std::unique_ptr<render::Compositor> compositor;
  try {
    gl = std::make_unique<render::OffscreenContext>(768, 1024);
    compositor = std::make_unique<render::Compositor>();
  } catch (const std::exception& e) {
    GTEST_SKIP() << e.what();
  }
  openLibrary(false, {600, 800});
  render::FrameSettings settings;
  compositor->draw(*bench.root, settings);
  const kit::Bitmap shot = gl->readPixels();
  auto pixel = [&](Point p) {
    const std::uint8_t* px = shot.row(static_cast<int>(p.y)) + static_cast<int>(p.x) * 4;
    return std::vector<int>{px[0], px[1], px[2]};
  };
  const Rect content = popover->contentFrameInRoot();
  // The presenter's green outside, the frame around the content, a
  // thumbnail's colour in its cell.
  EXPECT_EQ(pixel({4, 1020}), (std::vector<int>{0, 255, 0}));
  const std::vector<int> frame = pixel({content.minX() - kit::kPopoverBorder / 2, content.midY()});
  EXPECT_LT(frame[1], 100);
  EXPECT_EQ(pixel(cellCentre(2)), (std::vector<int>{red(2), 200, 60}));
}

// The whole way through the application in the runner: fingers on the
// window pick and crop a library photo, and a touch outside closes the
// popover as the user's.
TEST_F(PickerViews, FingersOnTheWindowPickAndCropThroughTheApplication) {
  std::ostringstream out;
  headless::Runner runner{{}, out};
  runner.launch();
  runner.platform()->photoLibrarySource().root = folder.string();
  VitraneforiPadViewController& vc = *runner.controller();
  auto run = [&](const std::string& text) {
    runner.run(headless::parseScenario(text, "t.scn", folder.string(),
                                       VitraneforiPadViewController::actionNames()));
  };
  auto tapLine = [](Point p) {
    return "touch down 1 " + std::to_string(p.x) + " " + std::to_string(p.y) +
           "\nframes 6\ntouch up 1\nframes 6\n";
  };
  run("library .\naction cropLibraryTile\nframes 2\n");
  ASSERT_TRUE(vc.scene.cameraController->popover);
  auto& view = static_cast<kit::ImagePickerView&>(*vc.scene.cameraController->picker()->view());
  EXPECT_EQ(vc.scene.cameraController->popover->contentFrameInRoot().size, (Size{460, 460}));
  kit::PhotoGridView& g = *view.grid();
  run(tapLine(g.convertPointToView({g.cellFrame(0).midX(), g.cellFrame(0).midY()}, nullptr)));
  ASSERT_NE(view.cropView(), nullptr);
  const kit::Button& use = *view.cropView()->useButton();
  run(tapLine(use.convertPointToView({use.bounds().midX(), use.bounds().midY()}, nullptr)));
  EXPECT_FALSE(vc.scene.cameraController->popover);
  EXPECT_EQ(vc.tiles.tileHorizontalPitch, 200);
  EXPECT_NE(out.str().find("CropRect at position 50,0 of size 200,200"), std::string::npos)
      << out.str().substr(out.str().size() > 600 ? out.str().size() - 600 : 0);

  run("action useLibraryPhoto\nframes 2\n");
  ASSERT_TRUE(vc.scene.cameraController->popover);
  run("touch down 1 5 1010\nframes 2\ntouch up 1\nframes 2\n");
  EXPECT_FALSE(vc.scene.cameraController->popover);
  EXPECT_EQ(vc.scene.cameraController->picker(), nullptr);
  EXPECT_EQ(vc.tiles.tileHorizontalPitch, 200);
}

}  // namespace
