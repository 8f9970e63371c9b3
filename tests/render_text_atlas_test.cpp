// The text atlas on a real GL context: where pictures land, what stays out,
// and how it makes room again once it is full.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "render/gl_program.h"
#include "render/offscreen_context.h"
#include "render/text_atlas.h"

namespace {

using render::TextAtlas;

kit::BitmapRef picture(int w, int h) {
  auto b = std::make_shared<kit::Bitmap>(kit::Bitmap::make(w, h, kit::PixelFormat::RGBA8));
  b->pixels.assign(b->pixels.size(), 200);
  return b;
}

bool overlap(const TextAtlas::Slot& a, const TextAtlas::Slot& b) {
  return a.u0 < b.u1 && b.u0 < a.u1 && a.v0 < b.v1 && b.v0 < a.v1;
}

class TextAtlasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    try {
      gl = std::make_unique<render::OffscreenContext>(8, 8);
    } catch (const render::OffscreenError& e) {
      GTEST_SKIP() << e.what();
    }
    atlas = std::make_unique<TextAtlas>(render::queryGlCapabilities());
  }
  std::unique_ptr<render::OffscreenContext> gl;
  std::unique_ptr<TextAtlas> atlas;
};

TEST_F(TextAtlasTest, PicturesGetPlacesOfTheirOwnSizeApartAndKeepThem) {
  std::vector<kit::BitmapRef> pictures;
  std::vector<TextAtlas::Slot> slots;
  for (int i = 0; i < 40; ++i) {
    pictures.push_back(picture(30 + 7 * i, 12 + i % 5));
    slots.push_back(atlas->slotFor(pictures.back()));
    ASSERT_NE(slots.back().texture, 0u);
  }
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const TextAtlas::Slot& s = slots[i];
    EXPECT_FLOAT_EQ((s.u1 - s.u0) * TextAtlas::kSide, static_cast<float>(pictures[i]->width));
    EXPECT_FLOAT_EQ((s.v1 - s.v0) * TextAtlas::kSide, static_cast<float>(pictures[i]->height));
    EXPECT_GE(s.u0, 0.0f);
    EXPECT_LE(s.v1, 1.0f);
    for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(overlap(s, slots[j])) << i << " " << j;
  }
  const TextAtlas::Slot again = atlas->slotFor(pictures[3]);
  EXPECT_EQ(again.u0, slots[3].u0);
  EXPECT_EQ(again.v0, slots[3].v0);
  EXPECT_EQ(atlas->pictures(), 40);
}

TEST_F(TextAtlasTest, LargePicturesAndGreyOnesStayOut) {
  EXPECT_EQ(atlas->slotFor(picture(1000, 200)).texture, 0u);  // a screenful of text
  EXPECT_NE(atlas->slotFor(picture(552, 220)).texture, 0u);   // a panel's paragraph
  EXPECT_EQ(atlas->slotFor(nullptr).texture, 0u);
  auto grey = std::make_shared<kit::Bitmap>(kit::Bitmap::make(10, 10, kit::PixelFormat::Gray8));
  EXPECT_EQ(atlas->slotFor(grey).texture, 0u);
}

TEST_F(TextAtlasTest, OnceFullItEmptiesAndFillsAgainButNotEveryFrame) {
  std::vector<kit::BitmapRef> keep;
  int placed = 0;
  for (;;) {
    keep.push_back(picture(500, 100));
    if (!atlas->slotFor(keep.back()).texture) break;
    ++placed;
  }
  EXPECT_EQ(placed,
            2 * (TextAtlas::kSide / 102));  // two a shelf, shelves of 102 texels with the gutters
  // Full: nothing more goes in this frame, not even what is small.
  EXPECT_EQ(atlas->slotFor(picture(4, 4)).texture, 0u);
  // What one frame showed filled it: it stays as it is for a while rather
  // than being uploaded again frame after frame.
  for (int frame = 0; frame < TextAtlas::kFramesBeforeEmptyingAgain; ++frame) atlas->endFrame();
  EXPECT_EQ(atlas->pictures(), placed);
  EXPECT_NE(atlas->slotFor(keep.front()).texture, 0u);
  atlas->endFrame();
  EXPECT_EQ(atlas->pictures(), 0);
  const TextAtlas::Slot first = atlas->slotFor(keep.front());
  EXPECT_NE(first.texture, 0u);
  EXPECT_FLOAT_EQ(first.u0 * TextAtlas::kSide, 1.0f);  // back at the start, inside its gutter
}

}  // namespace
