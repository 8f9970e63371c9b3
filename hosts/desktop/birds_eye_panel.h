// The table seen from above, beside the screen (or over it, for want of
// room): the keyboard's tablet, the picture's outline and pivots on the
// tiles, drawn apart with a compositor of its own and copied into the
// window. The B key shows or hides it.
#pragma once

#include <limits>
#include <memory>
#include <optional>

#include "app/vitrane_view_controller.h"
#include "hosts/desktop/birds_eye.h"
#include "hosts/desktop/tablet_keys.h"
#include "kit/simulated_tablet.h"
#include "render/compositor.h"
#include "render/framebuffer_target.h"

namespace desktop {

class BirdsEyePanel {
 public:
  // Needs the window's context current. A context that cannot copy between
  // framebuffers (OpenGL ES 2) gets no panel, and standard error says so.
  BirdsEyePanel();

  // Which table point each picture point stands for: at launch the picture
  // counts as showing the table exactly.
  void launched(const VitraneforiPadViewController& vc, const kit::SimulatedTablet& tablet);

  // The B key: the opposite of what is seen now.
  void toggle(int drawableWidth, int drawableHeight);

  // Whether the panel changes where the application's views may not: a
  // slide moves nothing on the screen, and the panel's view glides after
  // the tablet and fades a slide's marks after it has stopped.
  bool changes(const kit::SimulatedTablet& tablet, double now, int drawableWidth,
               int drawableHeight);

  // Into the window's framebuffer, over the frame drawn there, where it
  // has room.
  void draw(const VitraneforiPadViewController& vc, const kit::SimulatedTablet& tablet,
            const TabletKeyboard& keys, double now, int drawableWidth, int drawableHeight);

 private:
  std::unique_ptr<render::Compositor> compositor_;
  std::unique_ptr<render::FramebufferTarget> target_;
  std::unique_ptr<BirdsEyeView> view_;
  BirdsEyeMode mode_ = BirdsEyeMode::Auto;
  double tabletMovesEnd_ = -std::numeric_limits<double>::infinity();  // as last seen moving
  kit::AffineTransform pictureToTable_;
};

}  // namespace desktop
