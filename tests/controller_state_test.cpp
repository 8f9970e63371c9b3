// The controller's state values: the pivot's reasons, and the names each
// value gives its fields, which the state dump and the interface file use.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/state_fields.h"
#include "app/vitrane_view_controller.h"
#include "tests/app_fixture.h"

namespace {

// --- The pivot -----------------------------------------------------------

struct Flags {
  bool setByTwist, justSetByTwist;
};

Pivot pivotWith(Flags flags) {
  Pivot p;
  p.moveTo({1, 2});
  p.placedBy(Pivot::Reason::Gravity);  // both flags clear, {1, 2} remembered
  if (flags.setByTwist && flags.justSetByTwist) p.placedBy(Pivot::Reason::Twist);
  if (flags.setByTwist && !flags.justSetByTwist) p.placedBy(Pivot::Reason::FakeScreen);
  if (!flags.setByTwist && flags.justSetByTwist) {
    p.placedBy(Pivot::Reason::Twist);
    p.placedBy(Pivot::Reason::TippedTurn);
  }
  p.moveTo({30, 40});
  return p;
}

TEST(PivotReasons, EachReasonSetsTheTwistFlagsItStandsFor) {
  struct Case {
    Pivot::Reason reason;
    // What the flags become from (clear, clear) and from (set, set).
    Flags fromClear, fromSet;
  };
  const Case cases[] = {
      {Pivot::Reason::Twist, {true, true}, {true, true}},
      {Pivot::Reason::FakeScreen, {true, false}, {true, true}},
      {Pivot::Reason::TippedTurn, {false, false}, {false, true}},
      {Pivot::Reason::Gravity, {false, false}, {false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.reason));
    for (const bool set : {false, true}) {
      Pivot p = pivotWith({set, set});
      p.placedBy(c.reason);
      const Flags want = set ? c.fromSet : c.fromClear;
      EXPECT_EQ(p.anchorSetByTwist(), want.setByTwist);
      EXPECT_EQ(p.anchorJustSetByTwist(), want.justSetByTwist);
      EXPECT_EQ(p.currentAnchor(), (kit::Point{30, 40})) << "a reason does not move the pivot";
      const kit::Point remembered =
          c.reason == Pivot::Reason::Gravity ? kit::Point{30, 40} : kit::Point{1, 2};
      EXPECT_EQ(p.lastGravityAnchor(), remembered);
    }
  }
}

TEST(PivotReasons, MovingKeepsTheReasonAndTheFrameEndForgetsOnlyTheFramesTwist) {
  for (const Flags start :
       {Flags{false, false}, Flags{true, false}, Flags{false, true}, Flags{true, true}}) {
    Pivot p = pivotWith(start);
    ASSERT_EQ(p.anchorSetByTwist(), start.setByTwist);
    ASSERT_EQ(p.anchorJustSetByTwist(), start.justSetByTwist);
    p.moveTo({5, 6});
    EXPECT_EQ(p.currentAnchor(), (kit::Point{5, 6}));
    EXPECT_EQ(p.anchorSetByTwist(), start.setByTwist);
    EXPECT_EQ(p.anchorJustSetByTwist(), start.justSetByTwist);
    EXPECT_EQ(p.lastGravityAnchor(), (kit::Point{1, 2}));
    p.endFrame();
    EXPECT_EQ(p.anchorSetByTwist(), start.setByTwist);
    EXPECT_FALSE(p.anchorJustSetByTwist());
  }
  Pivot p;
  p.set({7, 8}, Pivot::Reason::Twist);
  EXPECT_EQ(p.currentAnchor(), (kit::Point{7, 8}));
  EXPECT_TRUE(p.anchorSetByTwist());
  EXPECT_TRUE(p.anchorJustSetByTwist());
}

// --- Field names ---------------------------------------------------------

// The corners are values of their own but keep their flat names, each
// naming its own corner's member.
TEST(TabletGeometryNames, CornersAreNamedFlatAndEachNameReachesItsOwnMember) {
  TabletGeometry g;
  Corner* corners[] = {&g.topLeft, &g.topRight, &g.bottomLeft, &g.bottomRight, &g.center};
  for (int i = 0; i < 5; ++i) *corners[i] = {{float(i), float(10 + i)}, 20.0 + i, 30.0 + i};

  std::map<std::string, kit::Point> points;
  std::map<std::string, double> numbers;
  visitFields(g, [&](const auto& name, auto& field) {
    using T = std::remove_cvref_t<decltype(field)>;
    if constexpr (std::is_same_v<T, kit::Point>) points[name] = field;
    if constexpr (std::is_same_v<T, double>) numbers[name] = field;
  });
  const char* names[] = {"topLeft", "topRight", "bottomLeft", "bottomRight", "center"};
  for (int i = 0; i < 5; ++i) {
    const std::string n = names[i];
    SCOPED_TRACE(n);
    EXPECT_EQ(points.at(n + "Anchor"), (kit::Point{float(i), float(10 + i)}));
    EXPECT_EQ(numbers.at(n + "Radius"), 20.0 + i);
    EXPECT_EQ(numbers.at(n + "Angle"), 30.0 + i);
  }

  // Written through the names, read through the members.
  visitFields(g, [](const auto& name, auto& field) {
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(field)>, double>)
      if (std::string(name) == "bottomRightAngle") field = -1.5;
  });
  EXPECT_EQ(g.bottomRight.angle, -1.5);
  EXPECT_EQ(g.topLeft.angle, 30.0);
}

class ControllerNames : public apptest::LaunchedApp {
 protected:
  std::vector<std::string> stateNames() {
    std::vector<std::string> names;
    const auto add = [&names](const auto& name, const auto&) { names.emplace_back(name); };
    const VitraneforiPadViewController& c = vc();
    visitFields(c.scene, add);
    visitFields(c.systemSounds, add);
    visitFields(c.frameDriver, add);
    visitFields(c.velocity, add);
    visitFields(c.turn, add);
    visitFields(c.geometry, add);
    visitFields(c.pivot, add);
    visitFields(c.zoom, add);
    visitFields(c.tiles, add);
    visitFields(c.photos, add);
    visitFields(c.fakeScreen, add);
    return names;
  }
};

// The dump merges every value's names into one object: two values naming a
// field alike would lose one of them without a word.
TEST_F(ControllerNames, EveryStateNameIsUniqueAndIsOneKeyOfTheDump) {
  const std::vector<std::string> names = stateNames();
  const std::set<std::string> unique(names.begin(), names.end());
  EXPECT_EQ(unique.size(), names.size());

  const nlohmann::json state = vc().stateJson();
  std::set<std::string> keys;
  for (const auto& item : state.items()) keys.insert(item.key());
  EXPECT_EQ(keys, unique);
}

TEST_F(ControllerNames, EveryOutletIsNamedOnceAndConnectedByTheInterfaceFile) {
  const auto views = vc().outletViews();
  std::set<std::string> names;
  for (const auto& [name, view] : views) {
    EXPECT_TRUE(names.insert(name).second) << name << " twice";
    EXPECT_NE(view, nullptr) << name;
  }
  EXPECT_EQ(names.size(), 35u);
  EXPECT_EQ(views.front().first, "offsetView");
  EXPECT_EQ(views.front().second, vc().outlets.offsetView.get());
  EXPECT_EQ(views.back().first, "rubberImageView");
  EXPECT_EQ(views.back().second, vc().outlets.rubberImageView.get());
}

}  // namespace
