// A rectangle of the screen with its own coordinate space, and the tree of
// them.
//
// A view is placed in its superview by its centre, the position of its
// layer's anchor point, and turned and scaled by its transform about that
// anchor point. Its bounds give its own coordinates: the point
// bounds.origin + anchorPoint × bounds.size of the view sits at centre in
// the superview. Frame is derived: the bounding box of the transformed
// bounds in the superview.
//
// Geometry reads return model values: inside an animation block a setter
// changes the model at once and the drawn (presentation) value follows over
// the block's duration; presentation(t) answers what is drawn at time t.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kit/animation.h"
#include "kit/color.h"
#include "kit/geometry.h"

namespace kit {

class GestureRecognizer;

Color interpolate(const Color& from, const Color& to, double t);

// What a view looks like at one time: the values the compositor draws.
struct ViewPresentation {
  Rect bounds;
  Point center;
  AffineTransform transform;
  float alpha = 1;
  Color backgroundColor;
};

// Below this alpha a view and its subviews show nothing and take no touches.
inline constexpr float kMinShownAlpha = 0.01f;

class View : public std::enable_shared_from_this<View> {
 public:
  View();
  explicit View(const Rect& frame);
  virtual ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // The kind of view, for dumps and errors ("View", "ImageView", ...).
  virtual std::string className() const { return "View"; }

  // --- Geometry -----------------------------------------------------------
  Rect frame() const;
  // Sets bounds size and centre as if the transform were the identity (the
  // platform leaves a frame under another transform undefined).
  void setFrame(const Rect& frame);
  Rect bounds() const { return bounds_.model(); }
  void setBounds(const Rect& bounds) {
    if (bounds_.set(bounds)) noteContentChange();
  }
  Point center() const { return center_.model(); }
  void setCenter(Point center) {
    if (center_.set(center)) notePlacementChange();
  }
  const AffineTransform& transform() const { return transform_.model(); }
  void setTransform(const AffineTransform& t) {
    if (transform_.set(t)) notePlacementChange();
  }
  // The layer's anchor point in unit coordinates of the bounds, (0.5, 0.5)
  // by default. Moving it keeps the centre, so the view moves on screen.
  Point anchorPoint() const { return anchorPoint_; }
  void setAnchorPoint(Point p) {
    if (p == anchorPoint_) return;
    anchorPoint_ = p;
    notePlacementChange();
  }
  float contentScaleFactor() const { return contentScaleFactor_; }

  // --- Appearance ---------------------------------------------------------
  float alpha() const { return alpha_.model(); }
  void setAlpha(float alpha) {
    if (alpha_.set(alpha)) notePlacementChange();
  }
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden) {
    if (hidden == hidden_) return;
    hidden_ = hidden;
    notePlacementChange();
  }
  const Color& backgroundColor() const { return backgroundColor_.model(); }
  void setBackgroundColor(const Color& c) {
    if (backgroundColor_.set(c)) noteContentChange();
  }
  bool clipsToBounds() const { return clipsToBounds_; }
  void setClipsToBounds(bool clips) {
    if (clips == clipsToBounds_) return;
    clipsToBounds_ = clips;
    noteContentChange();
  }
  bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
  void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }

  ViewPresentation presentation(double time) const;
  bool isAnimating(double time) const;
  // Whether anything of this view and its subviews can show at time t:
  // not hidden, and its alpha not settled below what shows. Changes inside
  // a subtree that shows nothing are not counted as visual changes (see
  // kit::visualChangeCount), so photos that keep spinning on a faded-out
  // layer cost no redraws.
  bool showsSubtree(double time) const;

  // Asks for the view's own content to be drawn again (views that draw).
  void setNeedsDisplay() {
    ++displayGeneration_;
    noteContentChange();
  }
  unsigned displayGeneration() const { return displayGeneration_; }

  // Changes whenever something drawn inside this view may have changed:
  // its bounds, background or content, its subviews, anything about them.
  // Its own placement (centre, transform, anchor point, alpha, hidden)
  // changes its superview's revision, not its own, so that a renderer can
  // keep what it learnt of a subtree for as long as the number stays.
  // Revisions come from one counter for all views: a number is never seen
  // twice, not even on a later view at the same address.
  std::uint64_t subtreeRevision() const { return subtreeRevision_; }

  // --- Tree ---------------------------------------------------------------
  View* superview() const { return superview_; }
  // Back to front.
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  // Adds on top, first taking the view from its old superview.
  void addSubview(std::shared_ptr<View> view);
  void insertSubview(std::shared_ptr<View> view, size_t index);
  void removeFromSuperview();
  void removeAllSubviews();
  void bringSubviewToFront(View* view);
  bool isDescendantOf(const View* other) const;
  View* root();
  const View* root() const;

  // --- Coordinates --------------------------------------------------------
  // Converts a point between this view's coordinates and another view's.
  // Views of different trees, or a null view, meet in root coordinates.
  Point convertPointToView(Point p, const View* other) const;
  Point convertPointFromView(Point p, const View* other) const;
  Point convertToSuperview(Point p) const;
  Point convertFromSuperview(Point p) const;
  // The affine map from this view's coordinates to its superview's.
  AffineTransform transformToSuperview() const;

  // --- Touches ------------------------------------------------------------
  // The deepest visible, interactive view under p (in this view's
  // coordinates): hidden views, views with alpha below 0.01 and views that
  // take no interaction answer nothing, and neither do their subviews.
  View* hitTest(Point p);
  bool pointInside(Point p) const { return bounds().contains(p); }

  void addGestureRecognizer(std::shared_ptr<GestureRecognizer> recognizer);
  void removeGestureRecognizer(GestureRecognizer* recognizer);
  const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const {
    return recognizers_;
  }

  // An optional name for dumps and messages (the interface loader sets the
  // outlet name).
  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }

  std::string description() const;

 protected:
  // Hook for subclasses that keep state tied to their superview.
  virtual void didMoveToSuperview() {}
  // For the view's own content (its image, its text): this view and every
  // view above it have a new revision, and it is a visual change unless one
  // of them shows nothing.
  void noteContentChange();

 private:
  // The superview and every view above it have a new revision; a visual
  // change unless one of those shows nothing.
  void notePlacementChange();

  Point anchorInBounds() const;
  void detachFromSuperview();

  Animated<Rect> bounds_;
  Animated<Point> center_;
  Animated<AffineTransform> transform_;
  Animated<float> alpha_{1.0f};
  Animated<Color> backgroundColor_{Color::clear()};
  Point anchorPoint_{0.5f, 0.5f};
  float contentScaleFactor_ = 1;
  bool hidden_ = false;
  bool clipsToBounds_ = false;
  bool userInteractionEnabled_ = true;
  unsigned displayGeneration_ = 0;
  std::uint64_t subtreeRevision_;

  View* superview_ = nullptr;
  std::vector<std::shared_ptr<View>> subviews_;
  std::vector<std::shared_ptr<GestureRecognizer>> recognizers_;
  std::string name_;
};

using ViewRef = std::shared_ptr<View>;

}  // namespace kit
