// Photos: placing ten 12-megapixel library photos, from the request to the
// last callback, beside a reference that decodes each photo at full size
// and then scales it down; and one frame of motion for ten photos.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "hosts/headless/runner.h"
#include "kit/image_codec.h"
#include "kit/log.h"
#include "kit/photo_library.h"
#include "photos/moving_image_view.h"
#include "tests/temp_folder.h"

namespace {

constexpr int kPhotos = 10;
constexpr int kPhotoWidth = 4000, kPhotoHeight = 3000;  // 12 megapixels

// Ten camera-sized JPEGs with some detail, made once for the whole run.
class PhotoFolder {
 public:
  PhotoFolder() {
    if (folder_.path().empty()) return;
    const std::filesystem::path& root_ = folder_.path();
    std::filesystem::create_directories(root_ / "Camera");
    kit::Bitmap picture = kit::Bitmap::make(kPhotoWidth, kPhotoHeight, kit::PixelFormat::RGBA8);
    for (int i = 0; i < kPhotos; ++i) {
      for (int y = 0; y < kPhotoHeight; ++y) {
        std::uint8_t* row = picture.row(y);
        for (int x = 0; x < kPhotoWidth; ++x) {
          row[4 * x + 0] = static_cast<std::uint8_t>(x * 7 + y * 3 + i * 40);
          row[4 * x + 1] = static_cast<std::uint8_t>((x ^ y) + i);
          row[4 * x + 2] = static_cast<std::uint8_t>(y / 12 + (x / 50) * 9);
          row[4 * x + 3] = 255;
        }
      }
      const std::vector<std::uint8_t> bytes = kit::encodeJpeg(picture, 88).valueOr({});
      const std::string path =
          (root_ / "Camera" / ("IMG_" + std::to_string(1000 + i) + ".jpg")).string();
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
      files_.push_back(path);
    }
  }
  const std::filesystem::path& root() const { return folder_.path(); }
  const std::vector<std::string>& files() const { return files_; }

 private:
  testing_files::TempFolder folder_{"bench"};
  std::vector<std::string> files_;
};

const PhotoFolder& photoFolder() {
  static PhotoFolder folder;
  return folder;
}

void BM_PlaceTenLibraryPhotos(benchmark::State& state) {
  const PhotoFolder& folder = photoFolder();
  for (auto _ : state) {
    state.PauseTiming();
    std::ostringstream out;
    auto runner = std::make_unique<headless::Runner>(headless::RunnerOptions{}, out);
    runner->configure(headless::LibraryFolder{folder.root().string()});
    runner->launch();
    kit::setLogSink([](const std::string&) {});
    state.ResumeTiming();

    runner->controller()->wanderInPhotos();
    runner->settle();

    state.PauseTiming();
    if (runner->controller()->outlets.photosLayerView->subviews().size() != kPhotos)
      state.SkipWithError("not every photo was placed");
    runner.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PlaceTenLibraryPhotos)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The area average of the full-size picture down to the display size.
kit::Bitmap scaledDown(const kit::Bitmap& source, int width, int height) {
  kit::Bitmap out = kit::Bitmap::make(width, height, source.format);
  const int channels = source.bytesPerPixel();
  std::vector<std::uint32_t> sum(static_cast<std::size_t>(width) * channels);
  std::vector<std::uint32_t> count(static_cast<std::size_t>(width));
  for (int y = 0; y < height; ++y) {
    std::fill(sum.begin(), sum.end(), 0);
    std::fill(count.begin(), count.end(), 0);
    const int y0 = static_cast<int>(static_cast<long long>(y) * source.height / height);
    const int y1 =
        std::max(y0 + 1, static_cast<int>(static_cast<long long>(y + 1) * source.height / height));
    for (int sy = y0; sy < y1; ++sy) {
      const std::uint8_t* in = source.row(sy);
      for (int sx = 0; sx < source.width; ++sx) {
        const int x = static_cast<int>(static_cast<long long>(sx) * width / source.width);
        for (int c = 0; c < channels; ++c)
          sum[static_cast<std::size_t>(x) * channels + c] += in[sx * channels + c];
        ++count[static_cast<std::size_t>(x)];
      }
    }
    std::uint8_t* o = out.row(y);
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c)
        o[x * channels + c] = static_cast<std::uint8_t>(
            sum[static_cast<std::size_t>(x) * channels + c] /
            std::max<std::uint32_t>(1, count[static_cast<std::size_t>(x)]));
  }
  return out;
}

// The reference: the same ten photos decoded at full size, then scaled.
void BM_PlaceTenPhotosFullSizeReference(benchmark::State& state) {
  const PhotoFolder& folder = photoFolder();
  for (auto _ : state) {
    std::size_t pixels = 0;
    for (const std::string& file : folder.files()) {
      kit::DecodeOptions options;
      options.applyOrientationToPixels = true;
      const auto full = kit::decodeImageFile(file, options);
      if (!full) {
        state.SkipWithError("decode failed");
        return;
      }
      const kit::Size box = kit::kFullScreenImageSize;
      const double k = std::min({1.0, static_cast<double>(box.width) / full->bitmap->width,
                                 static_cast<double>(box.height) / full->bitmap->height});
      const kit::Bitmap small = scaledDown(*full->bitmap, static_cast<int>(full->bitmap->width * k),
                                           static_cast<int>(full->bitmap->height * k));
      pixels += small.pixels.size();
    }
    benchmark::DoNotOptimize(pixels);
  }
}
BENCHMARK(BM_PlaceTenPhotosFullSizeReference)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// One frame's motion step for ten drifting, spinning photos.
void BM_MovingImagesFrame(benchmark::State& state) {
  std::ostringstream out;
  headless::Runner runner({}, out);
  runner.launch();
  kit::setLogSink([](const std::string&) {});
  VitraneforiPadViewController& vc = *runner.controller();
  auto bitmap = std::make_shared<kit::Bitmap>(kit::Bitmap::make(8, 6, kit::PixelFormat::RGBA8));
  std::vector<MovingImageView*> pieces;
  for (int i = 0; i < kPhotos; ++i) {
    auto piece = std::make_shared<MovingImageView>(std::make_shared<kit::Image>(bitmap));
    piece->setCenter({2048.0f + 100 * i, 2048});
    piece->setTransform(kit::AffineTransform::makeScale(0.25f, 0.25f));
    vc.outlets.photosLayerView->addSubview(piece);
    vc.addGestureRecognizersToPiece(*piece);
    pieces.push_back(piece.get());
  }
  long long frame = 0;
  for (auto _ : state) {
    // Flicked again before friction stops them, so every frame drifts.
    if (frame++ % 600 == 0)
      for (MovingImageView* p : pieces) {
        p->velocityPerFrame = {40, -25};
        p->radiansPerFrame = 5.0 / 240;
      }
    vc.updateMovingImages();
  }
  benchmark::DoNotOptimize(pieces.front()->center());
}
BENCHMARK(BM_MovingImagesFrame);

}  // namespace

namespace {

// One 12-megapixel photo to the display size, as the library decodes it
// (CPU time: what a load of ten costs a core, whatever else runs).
void BM_DecodeOnePhotoDisplaySized(benchmark::State& state) {
  const PhotoFolder& folder = photoFolder();
  kit::DecodeOptions options;
  options.fitWithin = kit::kFullScreenImageSize;
  options.applyOrientationToPixels = true;
  for (auto _ : state) {
    const auto r = kit::decodeImageFile(folder.files().front(), options);
    benchmark::DoNotOptimize(r->bitmap);
  }
}
BENCHMARK(BM_DecodeOnePhotoDisplaySized)->Unit(benchmark::kMillisecond);

}  // namespace
