// The desktop window's input: fingers and the mouse as touches on the
// letterboxed screen, replayed input, and the loop's timing and command
// line. The keyboard's tablet has tests of its own.
#include <gtest/gtest.h>

#include <cmath>

#include "hosts/desktop/input_script.h"
#include "hosts/desktop/key_hint.h"
#include "hosts/desktop/loop_timing.h"
#include "hosts/desktop/mirror_mark.h"
#include "hosts/desktop/options.h"
#include "hosts/desktop/process.h"
#include "hosts/desktop/screen_mapping.h"
#include "kit/animation.h"
#include "kit/run_loop.h"
#include "kit/touch_dispatcher.h"
#include "kit/view.h"

namespace {

using desktop::Letterbox;
using kit::TouchPhase;

struct RecordingSink : kit::TouchSink {
  void touchesChanged(const std::vector<kit::Touch>& touches) override {
    events.push_back(touches);
  }
  std::vector<std::vector<kit::Touch>> events;
  const std::vector<kit::Touch>& last() const { return events.back(); }
};

desktop::WindowGeometry window(int w, int h, int pixelsPerUnit = 1) {
  return {w, h, w * pixelsPerUnit, h * pixelsPerUnit};
}

// --- Letterbox -------------------------------------------------------------

TEST(DesktopLetterbox, TheScreenFillsAWindowOfItsOwnShape) {
  EXPECT_EQ(desktop::fitScreen(768, 1024), (Letterbox{1, 0, 0, 768, 1024}));
  EXPECT_EQ(desktop::fitScreen(384, 512), (Letterbox{0.5f, 0, 0, 384, 512}));
}

TEST(DesktopLetterbox, AWideWindowGetsBarsLeftAndRightOfWholePixels) {
  const Letterbox box = desktop::fitScreen(1001, 701);
  EXPECT_FLOAT_EQ(box.pixelsPerPoint, 701.0f / 1024);
  EXPECT_EQ(box.height, 701);
  EXPECT_EQ(box.width, 526);  // 768 × 701/1024 = 525.75
  EXPECT_EQ(box.y, 0);
  EXPECT_EQ(box.x, 237);  // (1001 − 526) / 2, the odd pixel to the right
}

TEST(DesktopLetterbox, ATallWindowGetsBarsAboveAndBelow) {
  const Letterbox box = desktop::fitScreen(500, 1000);
  EXPECT_EQ(box.width, 500);
  EXPECT_EQ(box.height, 667);  // 1024 × 500/768 = 666.67
  EXPECT_EQ(box.x, 0);
  EXPECT_EQ(box.y, 166);
}

TEST(DesktopLetterbox, OneOddPixelOffThreeToFourLeavesNoSliverOfBar) {
  const Letterbox box = desktop::fitScreen(769, 1024);
  EXPECT_EQ(box.width, 768);
  EXPECT_EQ(box.x, 0);
  EXPECT_EQ(desktop::fitScreen(3, 4), (Letterbox{3.0f / 768, 0, 0, 3, 4}));
}

TEST(DesktopLetterbox, AMinimisedWindowHasNoScreen) {
  EXPECT_TRUE(desktop::fitScreen(0, 0).isEmpty());
  EXPECT_TRUE(desktop::fitScreen(800, 0).isEmpty());
  EXPECT_TRUE(desktop::fitScreen(-5, 600).isEmpty());
}

// --- Fingers and the mouse as touches ---------------------------------------

TEST(DesktopTouches, FingersAreNormalisedOverTheWindowAndLandInScreenPoints) {
  RecordingSink sink;
  desktop::TouchMapper mapper(sink);
  mapper.setGeometry(window(1000, 1024));  // bars of 116 units each side
  mapper.fingerDown(7, 3, (116 + 100) / 1000.0f, 0.25f, 1.5);
  ASSERT_EQ(sink.events.size(), 1u);
  const kit::Touch& t = sink.last().at(0);
  EXPECT_EQ(t.phase, TouchPhase::Began);
  EXPECT_NEAR(t.location.x, 100, 1e-3);
  EXPECT_NEAR(t.location.y, 256, 1e-3);
  EXPECT_EQ(t.timestamp, 1.5);
}

TEST(DesktopTouches, AHighDensityWindowMapsTheSameWindowPointToTheSameScreenPoint) {
  RecordingSink sink;
  desktop::TouchMapper plain(sink), dense(sink);
  plain.setGeometry(window(700, 600));
  dense.setGeometry(window(700, 600, 2));
  for (kit::Point w : {kit::Point{350, 300}, kit::Point{130, 50}, kit::Point{570, 599}}) {
    const kit::Point a = plain.screenPointFromWindow(w.x, w.y);
    const kit::Point b = dense.screenPointFromWindow(w.x, w.y);
    EXPECT_NEAR(a.x, b.x, 0.01);
    EXPECT_NEAR(a.y, b.y, 0.01);
  }
  const kit::Point centre = dense.screenPointFromNormalised(0.5f, 0.5f);
  EXPECT_NEAR(centre.x, 384, 0.5);
  EXPECT_NEAR(centre.y, 512, 0.5);
}

TEST(DesktopTouches, ScreenAndWindowPointsMapBackAndForth) {
  RecordingSink sink;
  desktop::TouchMapper mapper(sink);
  mapper.setGeometry({1001, 701, 2002, 1402});
  for (kit::Point p : {kit::Point{0, 0}, kit::Point{767, 1023}, kit::Point{384.5f, 17.25f}}) {
    const kit::Point w = mapper.windowPointFromScreen(p);
    const kit::Point back = mapper.screenPointFromWindow(w.x, w.y);
    EXPECT_NEAR(back.x, p.x, 1e-2);
    EXPECT_NEAR(back.y, p.y, 1e-2);
    const kit::Point n = mapper.normalisedPointFromScreen(p);
    const kit::Point fromN = mapper.screenPointFromNormalised(n.x, n.y);
    EXPECT_NEAR(fromN.x, p.x, 1e-2);
    EXPECT_NEAR(fromN.y, p.y, 1e-2);
  }
}

TEST(DesktopTouches, AFingerThatComesDownOnABarIsIgnoredToItsEnd) {
  RecordingSink sink;
  desktop::TouchMapper mapper(sink);
  mapper.setGeometry(window(1000, 1024));
  mapper.fingerDown(1, 1, 0.05f, 0.5f, 0);  // in the left bar
  mapper.fingerMoved(1, 1, 0.5f, 0.5f, 0.1);
  mapper.fingerUp(1, 1, 0.5f, 0.5f, 0.2);
  EXPECT_TRUE(sink.events.empty());
  EXPECT_EQ(mapper.activeTouches(), 0u);
}

TEST(DesktopTouches, AFingerThatStraysOffTheScreenIsHeldAtItsEdge) {
  RecordingSink sink;
  desktop::TouchMapper mapper(sink);
  mapper.setGeometry(window(1000, 1024));
  mapper.fingerDown(1, 1, 0.5f, 0.5f, 0);
  mapper.fingerMoved(1, 1, 0.0f, 1.2f, 0.1);
  const kit::Point p = sink.last().at(0).location;
  EXPECT_EQ(p.x, 0);
  EXPECT_LT(p.y, 1024);
  EXPECT_GT(p.y, 1023.9);
  // Still on the screen as far as hit-testing goes.
  EXPECT_TRUE(kit::Rect(0, 0, 768, 1024).contains(p));
}

TEST(DesktopTouches, EveryEventListsAllFingersWithTheUnmovedOnesStationary) {
  RecordingSink sink;
  desktop::TouchMapper mapper(sink);
  mapper.fingerDown(1, 10, 0.1f, 0.1f, 0);
  mapper.fingerDown(1, 11, 0.9f, 0.9f, 0.1);
  ASSERT_EQ(sink.last().size(), 2u);
  EXPECT_EQ(sink.last()[0].phase, TouchPhase::Stationary);
  EXPECT_EQ(sink.last()[1].phase, TouchPhase::Began);
  EXPECT_NE(sink.last()[0].id, sink.last()[1].id);

  mapper.fingerMoved(1, 11, 0.8f, 0.8f, 0.2);
  EXPECT_EQ(sink.last()[0].phase, TouchPhase::Stationary);
  EXPECT_EQ(sink.last()[1].phase, TouchPhase::Moved);

  mapper.fingerUp(1, 10, 0.1f, 0.1f, 0.3);
  EXPECT_EQ(sink.last()[0].phase, TouchPhase::Ended);
  EXPECT_EQ(mapper.activeTouches(), 1u);

  // The freed id is used again while the other finger keeps its own.
  const int kept = sink.last()[1].id;
  mapper.fingerDown(2, 10, 0.5f, 0.5f, 0.4);
  EXPECT_EQ(sink.last()[0].id, kept);
  EXPECT_NE(sink.last()[1].id, kept);
  EXPECT_EQ(sink.last()[1].id, 0);
}

TEST(DesktopTouches, TheMouseIsOneFingerAndWithTheModifierASecondMirroredAboutTheCentre) {
  RecordingSink sink;
  desktop::TouchMapper mapper(sink);
  mapper.mouseDown(100, 200, true, 0);
  ASSERT_EQ(sink.last().size(), 2u);
  EXPECT_EQ(sink.last()[0].location, (kit::Point{100, 200}));
  EXPECT_EQ(sink.last()[1].location, (kit::Point{668, 824}));
  EXPECT_EQ(sink.last()[1].phase, TouchPhase::Began);

  mapper.mouseMoved(150, 260, true, 0.1);
  EXPECT_EQ(sink.last()[0].phase, TouchPhase::Moved);
  EXPECT_EQ(sink.last()[1].phase, TouchPhase::Moved);
  EXPECT_EQ(sink.last()[1].location, (kit::Point{618, 764}));

  // Letting go of the modifier lifts the second finger only.
  mapper.mouseMoved(160, 260, false, 0.2);
  EXPECT_EQ(sink.last()[0].phase, TouchPhase::Moved);
  EXPECT_EQ(sink.last()[1].phase, TouchPhase::Ended);
  mapper.mouseMoved(170, 260, false, 0.3);
  EXPECT_EQ(sink.last().size(), 1u);

  // Pressing it again with the mouse still puts the second finger down
  // and leaves the first where it is.
  mapper.mouseMoved(170, 260, true, 0.4);
  ASSERT_EQ(sink.last().size(), 2u);
  EXPECT_EQ(sink.last()[0].phase, TouchPhase::Stationary);
  EXPECT_EQ(sink.last()[1].phase, TouchPhase::Began);

  // Nothing changed, nothing to tell.
  const size_t events = sink.events.size();
  mapper.mouseMoved(170, 260, true, 0.45);
  EXPECT_EQ(sink.events.size(), events);

  mapper.mouseUp(170, 260, 0.5);
  EXPECT_EQ(sink.last()[0].phase, TouchPhase::Ended);
  EXPECT_EQ(sink.last()[1].phase, TouchPhase::Ended);
  EXPECT_EQ(mapper.activeTouches(), 0u);
}

TEST(DesktopTouches, TheMouseMakesNoTouchesWithNoButtonDownOrFromABar) {
  RecordingSink sink;
  desktop::TouchMapper mapper(sink);
  mapper.mouseMoved(100, 100, true, 0);
  mapper.mouseUp(100, 100, 0);
  mapper.setGeometry(window(1000, 1024));
  mapper.mouseDown(20, 500, false, 0);
  mapper.mouseMoved(500, 500, false, 0);
  EXPECT_TRUE(sink.events.empty());
}

TEST(DesktopTouches, LosingTheWindowCancelsEveryTouch) {
  RecordingSink sink;
  desktop::TouchMapper mapper(sink);
  mapper.mouseDown(100, 100, true, 0);
  mapper.fingerDown(1, 1, 0.5f, 0.5f, 0);
  mapper.cancelAll(1);
  ASSERT_EQ(sink.last().size(), 3u);
  for (const kit::Touch& t : sink.last()) EXPECT_EQ(t.phase, TouchPhase::Cancelled);
  EXPECT_EQ(mapper.activeTouches(), 0u);
  // The button's release after the cancel belongs to nothing.
  const size_t events = sink.events.size();
  mapper.mouseUp(100, 100, 2);
  EXPECT_EQ(sink.events.size(), events);
}

TEST(DesktopTouches, TouchDeliveryFindsTheViewUnderAFingerThroughTheKeyHint) {
  auto win = std::make_shared<kit::View>(kit::Rect{0, 0, 768, 1024});
  auto content = std::make_shared<kit::View>(kit::Rect{0, 0, 768, 1024});
  win->addSubview(content);
  auto hint = desktop::makeKeyHint();
  win->addSubview(hint);

  kit::VirtualClock clock;
  kit::RunLoop loop(clock);
  kit::TouchDispatcher sink(*win, loop);
  const kit::Point underHint{hint->frame().midX(), hint->frame().midY()};
  sink.touchesChanged({{0, TouchPhase::Began, underHint, 0}});
  EXPECT_EQ(sink.hitView(0), content.get());

  sink.touchesChanged({{0, TouchPhase::Ended, underHint, 1}});
  EXPECT_EQ(sink.hitView(0), nullptr);

  // A view taken away and gone while a finger rests on it is not kept.
  sink.touchesChanged({{1, TouchPhase::Began, {10, 10}, 2}});
  content->removeFromSuperview();
  content.reset();
  EXPECT_EQ(sink.hitView(1), nullptr);
}

// --- What the window lays over the screen ------------------------------------------

TEST(DesktopOverlays, TheKeyListGivesWayToOneLineWhenHiddenOrWhenTheFakeScreenCoversTheScreen) {
  using Shown = desktop::KeyHint::Shown;
  desktop::KeyHint hint;
  auto shows = [&](const std::shared_ptr<kit::View>& v) { return !v->isHidden(); };
  EXPECT_EQ(hint.shown(), Shown::List);
  EXPECT_TRUE(shows(hint.list()));
  EXPECT_FALSE(shows(hint.line()));

  hint.toggle();  // H
  EXPECT_EQ(hint.shown(), Shown::Line);
  EXPECT_FALSE(shows(hint.list()));
  EXPECT_TRUE(shows(hint.line()));
  hint.toggle();
  EXPECT_EQ(hint.shown(), Shown::List);

  // The fake screen must look like a real one: only the line stays, and
  // the list comes back with the table unless H hid it meanwhile.
  hint.setScreenCovered(true);
  EXPECT_EQ(hint.shown(), Shown::Line);
  hint.setScreenCovered(false);
  EXPECT_EQ(hint.shown(), Shown::List);
  hint.setScreenCovered(true);
  hint.toggle();
  hint.setScreenCovered(false);
  EXPECT_EQ(hint.shown(), Shown::Line);

  // Both keep to the bottom-left corner, the line much the smaller, and
  // neither takes a touch.
  EXPECT_LT(hint.line()->frame().size.width * hint.line()->frame().size.height,
            hint.list()->frame().size.width * hint.list()->frame().size.height / 4);
  EXPECT_GT(hint.line()->frame().minY(), 900);
  EXPECT_FALSE(hint.line()->isUserInteractionEnabled());
  EXPECT_FALSE(hint.list()->isUserInteractionEnabled());
}

TEST(DesktopOverlays, TheMirroredFingerIsMarkedOnlyWhileTheModifierIsHeldOverTheScreen) {
  desktop::MirrorMark mark;
  EXPECT_FALSE(mark.isShown());
  EXPECT_FALSE(mark.view()->isUserInteractionEnabled());
  mark.update(false, kit::Point{100, 200});
  EXPECT_FALSE(mark.isShown());
  mark.update(true, kit::Point{100, 200});
  ASSERT_TRUE(mark.isShown());
  EXPECT_EQ(mark.centre(), (kit::Point{668, 824}));  // through the screen's centre
  mark.update(true, kit::Point{-5, 200});            // over the bar: no finger
  EXPECT_FALSE(mark.isShown());
  mark.update(true, std::nullopt);  // out of the window
  EXPECT_FALSE(mark.isShown());
}

// --- The loop's time ---------------------------------------------------------

TEST(DesktopLoopTiming, AStallIsCaughtUpOnlyAQuarterSecondAtATime) {
  kit::VirtualClock real(100);
  desktop::SteppedClock clock(real);
  EXPECT_EQ(clock.now(), 100);
  real.advance(0.1);
  clock.beginStep();
  EXPECT_DOUBLE_EQ(clock.now(), 100.1);  // ordinary steps pass unchanged

  real.advance(30);  // stalled
  clock.beginStep();
  EXPECT_DOUBLE_EQ(clock.now(), 100.35);
  EXPECT_DOUBLE_EQ(clock.dropped(), 29.75);
  // Time within the step runs on as usual, and the next step is measured
  // from this one.
  real.advance(0.01);
  EXPECT_DOUBLE_EQ(clock.now(), 100.36);
  real.advance(0.2);
  clock.beginStep();
  EXPECT_NEAR(clock.now(), 100.56, 1e-9);
}

TEST(DesktopLoopTiming, TimeReadDuringALongTurnIsNeverTakenBack) {
  // A launch that takes two seconds starts the panel's fade late in it: the
  // step after it keeps the clock at or after that time, so the fade is
  // not pushed into the future, and drops only what no one has seen.
  kit::VirtualClock real(0);
  desktop::SteppedClock clock(real);
  real.advance(1.5);
  const double fadeStart = clock.now();
  real.advance(0.5);
  clock.beginStep();
  EXPECT_GE(clock.now(), fadeStart);
  EXPECT_DOUBLE_EQ(clock.now(), 1.5);
  EXPECT_DOUBLE_EQ(clock.dropped(), 0.5);
  for (int i = 0; i < 100; ++i) {
    const double before = clock.now();
    real.advance(i % 7 == 0 ? 3.0 : 0.01);
    if (i % 3 == 0) (void)clock.now();
    clock.beginStep();
    EXPECT_GE(clock.now(), before);
  }
}

TEST(DesktopLoopTiming, TheWaitReachesTheNextTimerRoundedUpAndNoFurther) {
  EXPECT_EQ(desktop::waitMilliseconds(10, 10 + 1.0 / 120, std::nullopt), 9);  // 8.33 ms
  EXPECT_EQ(desktop::waitMilliseconds(10, 10.05, 10.02), 20);
  EXPECT_EQ(desktop::waitMilliseconds(10, std::nullopt, std::nullopt), 100);
  EXPECT_EQ(desktop::waitMilliseconds(10, 99, std::nullopt), 100);
  EXPECT_EQ(desktop::waitMilliseconds(10, 9.5, std::nullopt), 0);  // overdue
  EXPECT_EQ(desktop::waitMilliseconds(10, std::nan(""), std::nullopt),
            100);  // ignored, not slept on
}

TEST(DesktopLoopTiming, AStillSceneIsDrawnOnceAndAnAnimationToItsEnd) {
  // The kit's counters are shared by everything in the process: work after
  // whatever earlier tests left behind.
  const double t = kit::animationsRunUntil() + 1000;
  desktop::RedrawWatch watch;
  EXPECT_TRUE(watch.isStale());  // nothing drawn yet
  watch.drawn(t);
  EXPECT_FALSE(watch.isStale());

  kit::View view;
  view.setAlpha(0.5f);
  EXPECT_TRUE(watch.isStale());
  watch.drawn(t + 0.1);
  view.setAlpha(0.5f);  // the same value changes nothing
  EXPECT_FALSE(watch.isStale());

  // A picture taken while an animation ran is out of date until one is
  // drawn at or after its end.
  kit::noteAnimationUntil(t + 1);
  watch.drawn(t + 0.5);
  EXPECT_TRUE(watch.isStale());
  watch.drawn(t + 1);
  EXPECT_FALSE(watch.isStale());

  kit::noteContinuousAnimation(+1);
  EXPECT_TRUE(watch.isStale());
  kit::noteContinuousAnimation(-1);
  EXPECT_FALSE(watch.isStale());
}

TEST(DesktopLoopTiming, ChangesInsideWhatShowsNothingAskForNoPicture) {
  kit::VirtualClock clock(kit::animationsRunUntil() + 1000);
  const kit::Clock* before = kit::mainClock();
  kit::setMainClock(&clock);
  auto root = std::make_shared<kit::View>(kit::Rect{0, 0, 100, 100});
  auto layer = std::make_shared<kit::View>(kit::Rect{0, 0, 100, 100});
  auto photo = std::make_shared<kit::View>(kit::Rect{10, 10, 20, 20});
  root->addSubview(layer);
  layer->addSubview(photo);
  desktop::RedrawWatch watch;
  watch.drawn(clock.now());

  // A spinning photo on a faded-out layer: the layer fades (a change), and
  // once the fade is over the photo's turns change nothing on screen.
  {
    kit::AnimationBlock fade(0.3);
    layer->setAlpha(0);
  }
  EXPECT_TRUE(watch.isStale());
  clock.advance(0.1);
  watch.drawn(clock.now());
  photo->setTransform(kit::AffineTransform::makeRotation(0.1f));
  EXPECT_TRUE(watch.isStale());  // half faded, the photo still shows
  clock.advance(0.3);
  watch.drawn(clock.now());
  EXPECT_FALSE(watch.isStale());
  photo->setTransform(kit::AffineTransform::makeRotation(0.2f));
  photo->setBackgroundColor(kit::Color::white());
  photo->addSubview(std::make_shared<kit::View>());
  EXPECT_FALSE(watch.isStale());

  // Shown again, the photo is drawn as it is now.
  layer->setAlpha(1);
  EXPECT_TRUE(watch.isStale());
  watch.drawn(clock.now());
  photo->setTransform(kit::AffineTransform::makeRotation(0.3f));
  EXPECT_TRUE(watch.isStale());
  watch.drawn(clock.now());

  // A hidden layer likewise, but hiding and showing it are changes.
  layer->setHidden(true);
  EXPECT_TRUE(watch.isStale());
  watch.drawn(clock.now());
  photo->setCenter({50, 50});
  EXPECT_FALSE(watch.isStale());
  layer->setHidden(false);
  EXPECT_TRUE(watch.isStale());
  kit::setMainClock(before);
}

// --- Command line ----------------------------------------------------------------

using Action = desktop::ParsedArguments::Action;

TEST(DesktopOptions, FoldersAndTimesTakeTheirValueNextOrAfterEquals) {
  const auto p = desktop::parseArguments(
      {"--library", "/photos", "--resources=/res", "--exit-after", "2.5", "--screenshot", "s.png"});
  ASSERT_EQ(p.action, Action::Run) << p.error;
  EXPECT_EQ(p.options.libraryDir, "/photos");
  EXPECT_EQ(p.options.resourceDir, "/res");
  EXPECT_EQ(p.options.exitAfter, 2.5);
  EXPECT_EQ(p.options.screenshotPath, "s.png");
  EXPECT_TRUE(p.options.scriptPath.empty());
}

TEST(DesktopOptions, MistakesAreErrorsNotSilentlyIgnored) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--library"},
                                             {"--library="},
                                             {"--exit-after", "soon"},
                                             {"--exit-after", "-1"},
                                             {"--exit-after", "inf"},
                                             {"--exit-after", "2s"},
                                             {"--fullscreen"},
                                             {"photos"}}) {
    const auto p = desktop::parseArguments(args);
    EXPECT_EQ(p.action, Action::Error) << args[0];
    EXPECT_FALSE(p.error.empty());
  }
}

TEST(DesktopOptions, AnOptionIsNeverTakenForTheValueOfTheOneBeforeIt) {
  auto p = desktop::parseArguments({"--library", "--exit-after", "1"});
  EXPECT_EQ(p.action, Action::Error);
  EXPECT_EQ(p.error, "--library needs a value");
  p = desktop::parseArguments({"--motion", "replay", "--exit-after", "1"});
  EXPECT_EQ(p.action, Action::Error);
  EXPECT_EQ(p.error, "--motion replay needs a scenario file");
  // After '=' anything is the value; "-" alone is a value (the terminal).
  p = desktop::parseArguments({"--library=-odd", "--log", "-"});
  ASSERT_EQ(p.action, Action::Run) << p.error;
  EXPECT_EQ(p.options.libraryDir, "-odd");
  EXPECT_EQ(p.options.logPath, "-");
  EXPECT_EQ(desktop::parseArguments({"--log", "/tmp/v.log"}).options.logPath, "/tmp/v.log");

  // One line, pointing at the whole usage.
  const std::string line = desktop::usageErrorLine("--library needs a value");
  EXPECT_EQ(line, "vitrane: --library needs a value (vitrane --help lists the options)\n");
}

TEST(DesktopOptions, MotionComesFromTheSensorsTheTabletOrAReplayAndCanBeRecorded) {
  using Motion = desktop::Options::Motion;
  EXPECT_EQ(desktop::parseArguments({}).options.motion, Motion::Auto);
  auto p =
      desktop::parseArguments({"--motion", "iio", "--iio-root=/tmp/tree", "--record", "s.scn"});
  ASSERT_EQ(p.action, Action::Run) << p.error;
  EXPECT_EQ(p.options.motion, Motion::Iio);
  EXPECT_EQ(p.options.iioRoot, "/tmp/tree");
  EXPECT_EQ(p.options.recordPath, "s.scn");
  EXPECT_EQ(desktop::parseArguments({"--motion=sim"}).options.motion, Motion::Simulated);
  p = desktop::parseArguments({"--motion", "replay", "walk.scn", "--exit-after", "1"});
  ASSERT_EQ(p.action, Action::Run) << p.error;
  EXPECT_EQ(p.options.motion, Motion::Replay);
  EXPECT_EQ(p.options.replayPath, "walk.scn");
  EXPECT_EQ(p.options.exitAfter, 1);
  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"--motion", "gps"},
                                             {"--motion", "replay"},
                                             {"--motion"},
                                             {"--record"},
                                             {"--iio-root="}})
    EXPECT_EQ(desktop::parseArguments(bad).action, Action::Error) << bad.back();
}

TEST(DesktopOptions, ThePicturesFolderComesFromXdgThenTheEnvironmentThenHome) {
  using desktop::choosePicturesFolder;
  EXPECT_EQ(choosePicturesFolder("/home/ann/Bilder\n", "/elsewhere", "/home/ann"),
            "/home/ann/Bilder");
  // xdg-user-dir answers the home folder when none is configured.
  EXPECT_EQ(choosePicturesFolder("/home/ann\n", "/elsewhere", "/home/ann/"), "/elsewhere");
  EXPECT_EQ(choosePicturesFolder(std::nullopt, "$HOME/Fotos", "/home/ann"), "/home/ann/Fotos");
  EXPECT_EQ(choosePicturesFolder("", nullptr, "/home/ann"), "/home/ann/Pictures");
  EXPECT_EQ(choosePicturesFolder("Pictures\n", "relative", "/home/ann"), "/home/ann/Pictures");
  EXPECT_EQ(choosePicturesFolder(std::nullopt, nullptr, nullptr), "");
}

// --- Other programs ------------------------------------------------------------------

TEST(DesktopProcess, ArgumentsReachTheProgramAsTheyAreWithNoShell) {
  const auto out = desktop::captureOutput({"printf", "%s|%s", "$(echo hi); rm -rf x", "a b"});
  ASSERT_TRUE(out.has_value());
  EXPECT_EQ(*out, "$(echo hi); rm -rf x|a b");
}

TEST(DesktopProcess, AProgramThatFailsOrIsMissingGivesNoAnswer) {
  EXPECT_FALSE(desktop::captureOutput({"false"}).has_value());
  EXPECT_FALSE(desktop::captureOutput({"vitrane-no-such-program"}).has_value());
  EXPECT_FALSE(desktop::captureOutput({}).has_value());
}

TEST(DesktopProcess, OutputPastTheLimitIsDroppedWithoutHangingTheWriter) {
  // 200 kB through a 64 kB pipe: the writer must be drained to finish.
  const auto out = desktop::captureOutput({"head", "-c", "200000", "/dev/zero"}, 1000);
  ASSERT_TRUE(out.has_value());
  EXPECT_EQ(out->size(), 1000u);
}

TEST(DesktopProcess, SpawningAnswersWhetherTheProgramStarted) {
  EXPECT_TRUE(desktop::spawnDetached({"true"}).has_value());
  EXPECT_FALSE(desktop::spawnDetached({"vitrane-no-such-program"}).has_value());
  desktop::reapChildren();
}

TEST(DesktopProcess, LinksThatTheOpenerWouldTakeForOptionsAreRefused) {
  EXPECT_FALSE(desktop::openUrl("").has_value());
  EXPECT_FALSE(desktop::openUrl("--help").has_value());
  EXPECT_FALSE(desktop::openUrl("-x").has_value());
}

// --- Replayed input --------------------------------------------------------------

TEST(DesktopInputScript, ReadsEachKindOfStep) {
  const auto steps = desktop::parseInputScript(
      "# a comment\n"
      "0.5 key Left down\n"
      "\n"
      "1 mouse move 10 20.5 mirror  # trailing comment\n"
      "1 finger up 3 700 1000\n"
      "1.5 window 1000 700\n"
      "2 quit\n",
      "t.txt");
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(steps[0].kind, desktop::InputStep::Kind::Key);
  EXPECT_EQ(steps[0].key, "Left");
  EXPECT_EQ(steps[0].action, desktop::InputStep::Action::Down);
  EXPECT_EQ(steps[1].kind, desktop::InputStep::Kind::Mouse);
  EXPECT_EQ(steps[1].action, desktop::InputStep::Action::Move);
  EXPECT_EQ(steps[1].location, (kit::Point{10, 20.5f}));
  EXPECT_TRUE(steps[1].mirror);
  EXPECT_EQ(steps[2].finger, 3);
  EXPECT_EQ(steps[2].action, desktop::InputStep::Action::Up);
  EXPECT_EQ(steps[3].width, 1000);
  EXPECT_EQ(steps[3].height, 700);
  EXPECT_EQ(steps[4].kind, desktop::InputStep::Kind::Quit);
  EXPECT_EQ(steps[4].time, 2);
}

TEST(DesktopInputScript, ShiftIsAPrefixOfTheKeysName) {
  const auto steps =
      desktop::parseInputScript("0 key Shift+Up down\n0 key Up up\n0 key Shift+ down\n", "t.txt");
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_TRUE(steps[0].shift);
  EXPECT_EQ(steps[0].key, "Up");
  EXPECT_FALSE(steps[1].shift);
  // Nothing after the prefix: a name of its own, which no key has.
  EXPECT_FALSE(steps[2].shift);
  EXPECT_EQ(steps[2].key, "Shift+");
}

TEST(DesktopInputScript, AMalformedLineIsReportedWithItsFileAndLine) {
  const std::pair<const char*, const char*> bad[] = {
      {"1 key Left\n", "t.txt:1:"},
      {"1 key Left move\n", "t.txt:1:"},
      {"\n1 mouse down 10\n", "t.txt:2:"},
      {"1 quit\n0.5 quit\n", "t.txt:2: times must not go down"},
      {"soon quit\n", "t.txt:1:"},
      {"1 finger down 12 5 5\n", "t.txt:1:"},
      {"1 window 0 700\n", "t.txt:1:"},
      {"1 jump\n", "t.txt:1: unknown input"},
  };
  for (const auto& [text, message] : bad) {
    try {
      desktop::parseInputScript(text, "t.txt");
      ADD_FAILURE() << "accepted: " << text;
    } catch (const desktop::InputScriptError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(message, 0), 0u) << e.what();
    }
  }
}

}  // namespace
