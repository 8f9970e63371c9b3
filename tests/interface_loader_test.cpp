#include "kit/interface_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "kit/activity_indicator.h"
#include "kit/image_view.h"
#include "kit/label.h"
#include "tests/temp_folder.h"

namespace {

using namespace kit;

// The owner the files below are written for.
struct Owner {
  ViewRef root;
  std::shared_ptr<ImageView> photo;
  std::shared_ptr<Label> caption;
  std::shared_ptr<Button> toggle;
  std::vector<View*> pressedBy;

  std::vector<OutletBinding> outlets() {
    return {bindOutlet("photo", photo), bindOutlet("caption", caption),
            bindOutlet("toggle", toggle)};
  }
  ActionResolver actions() {
    return [this](const std::string& name) -> Button::Action {
      if (name == "toggleTapped") return [this](View* sender) { pressedBy.push_back(sender); };
      return {};
    };
  }
};

const char* const kMain = R"({
  "format": "vitrane-interface/1", "owner": "Owner",
  "_comment": "keys starting with an underscore are ignored",
  "view": {"class": "View", "frame": [0, 0, 768, 1024], "backgroundColor": "#336699",
    "subviews": [
      {"class": "ImageView", "outlet": "photo", "frame": [10, 20, 300, 200], "image": "Wood.jpg"},
      {"class": "View", "frame": [0, 900, 768, 124], "alpha": 0.5, "clipsToBounds": true,
       "subviews": [
         {"class": "Label", "outlet": "caption", "frame": [8, 8, 400, 30], "text": "Hello",
          "fontSize": 24, "bold": true, "textColor": "#ff000080", "numberOfLines": 0,
          "alignment": "center"},
         {"class": "Button", "outlet": "toggle", "frame": [600, 8, 120, 44],
          "titles": {"normal": "Edit", "selected": "Done"}, "selected": true,
          "action": "toggleTapped", "titleColor": "#00ff00"},
         {"class": "ActivityIndicatorView", "frame": [700, 60, 20, 20], "hidden": true,
          "hidesWhenStopped": false, "color": "#000000"}
       ]}
    ]}
})";

std::shared_ptr<const Image> testImage() {
  auto bitmap = std::make_shared<Bitmap>(Bitmap::make(4, 3, PixelFormat::RGBA8));
  return std::make_shared<Image>(bitmap);
}

TEST(InterfaceLoader, BuildsTheTreeAndConnectsTheOwner) {
  InterfaceLoader loader;
  std::vector<std::string> asked;
  const auto image = testImage();
  loader.setImageProvider([&](const std::string& name) {
    asked.push_back(name);
    return image;
  });
  Owner owner;
  ViewRef root = loader.loadString(kMain, "Main.json", owner.outlets(), owner.actions());

  ASSERT_EQ(root->subviews().size(), 2u);
  EXPECT_EQ(root->backgroundColor(), (Color{0.2f, 0.4f, 0.6f, 1}));
  ASSERT_EQ(owner.photo, root->subviews()[0]);
  EXPECT_EQ(owner.photo->frame(), Rect(10, 20, 300, 200));
  EXPECT_EQ(owner.photo->image(), image);
  EXPECT_EQ(asked, std::vector<std::string>{"Wood.jpg"});
  EXPECT_EQ(owner.photo->name(), "photo");

  // Back to front, nested under the bar.
  const ViewRef& bar = root->subviews()[1];
  EXPECT_EQ(bar->alpha(), 0.5f);
  EXPECT_TRUE(bar->clipsToBounds());
  ASSERT_EQ(bar->subviews().size(), 3u);
  EXPECT_EQ(bar->subviews()[0], owner.caption);
  EXPECT_EQ(bar->subviews()[1], owner.toggle);
  EXPECT_EQ(bar->subviews()[2]->className(), "ActivityIndicatorView");
  EXPECT_TRUE(bar->subviews()[2]->name().empty());

  EXPECT_EQ(owner.caption->text(), "Hello");
  EXPECT_FLOAT_EQ(owner.caption->textColor.a, 128 / 255.0f);
  EXPECT_EQ(owner.caption->textAlignment, TextAlignment::Center);

  EXPECT_TRUE(owner.toggle->isSelected());
  EXPECT_EQ(owner.toggle->currentTitle(), "Done");
  EXPECT_EQ(owner.toggle->titleForState(ControlState::Normal), "Edit");

  auto indicator = std::dynamic_pointer_cast<ActivityIndicatorView>(bar->subviews()[2]);
  ASSERT_TRUE(indicator);
  EXPECT_TRUE(indicator->isHidden());
  EXPECT_FALSE(indicator->hidesWhenStopped);

  EXPECT_TRUE(owner.pressedBy.empty());
  owner.toggle->sendActions();
  EXPECT_EQ(owner.pressedBy, std::vector<View*>{owner.toggle.get()});
}

TEST(InterfaceLoader, AnchorPointKeepsTheFrameAndCenterMovesTheView) {
  InterfaceLoader loader;
  ViewRef v = loader.loadString(R"({"format": "vitrane-interface/1", "view":
      {"class": "View", "frame": [100, 100, 40, 20], "anchorPoint": [0, 0],
       "subviews": [{"class": "View", "frame": [0, 0, 10, 10], "center": [50, 60]}]}})",
                                "a.json", {}, {});
  EXPECT_EQ(v->frame(), Rect(100, 100, 40, 20));
  EXPECT_EQ(v->center(), (Point{100, 100}));
  EXPECT_EQ(v->subviews()[0]->frame(), Rect(45, 55, 10, 10));
}

TEST(InterfaceLoader, MissingImageLeavesTheViewEmpty) {
  InterfaceLoader loader;
  loader.setImageProvider([](const std::string&) { return ImageRef{}; });
  Owner owner;
  loader.loadString(kMain, "Main.json", owner.outlets(), owner.actions());
  ASSERT_TRUE(owner.photo);
  EXPECT_FALSE(owner.photo->image());
}

class Badge : public Label {
 public:
  std::string className() const override { return "Badge"; }
};

TEST(InterfaceLoader, RegisteredClassesTakeTheirBaseClassKeys) {
  InterfaceLoader loader;
  loader.registerClass("Badge", [] { return std::make_shared<Badge>(); });
  std::shared_ptr<Badge> badge;
  std::shared_ptr<Label> asLabel;
  const char* file = R"({"format": "vitrane-interface/1", "view": {"class": "View",
      "frame": [0, 0, 10, 10], "subviews": [
        {"class": "Badge", "outlet": "badge", "frame": [0, 0, 5, 5], "text": "3"},
        {"class": "Badge", "outlet": "label", "frame": [0, 0, 5, 5]}]}})";
  loader.loadString(file, "b.json", {bindOutlet("badge", badge), bindOutlet("label", asLabel)}, {});
  ASSERT_TRUE(badge);
  EXPECT_EQ(badge->text(), "3");
  EXPECT_EQ(asLabel->className(), "Badge");

  // An outlet typed for the subclass refuses the plain base class.
  std::shared_ptr<Badge> wrong;
  try {
    loader.loadString(R"({"format": "vitrane-interface/1", "view":
        {"class": "Label", "outlet": "badge", "frame": [0, 0, 5, 5]}})",
                      "c.json", {bindOutlet("badge", wrong)}, {});
    FAIL() << "a Label loaded into a Badge outlet";
  } catch (const InterfaceError& e) {
    EXPECT_STREQ(e.what(), "c.json: view: outlet \"badge\" needs a Badge, not a Label");
  }
}

// Wraps a view node into a document whose root holds three spacer views
// before it, so every message shows a path several levels down.
std::string inTree(const std::string& node) {
  return R"({"format": "vitrane-interface/1", "view": {"class": "View", "frame": [0, 0, 9, 9],
    "subviews": [{"class": "View", "frame": [0, 0, 1, 1]}, {"class": "View", "frame": [0, 0, 1, 1]},
      {"class": "View", "frame": [0, 0, 1, 1], "subviews": [)" +
         node + "]}]}}";
}

std::string loadError(const std::string& json) {
  InterfaceLoader loader;
  Owner owner;
  const auto sentinelPhoto = std::make_shared<ImageView>();
  owner.photo = sentinelPhoto;
  try {
    std::vector<OutletBinding> outlets = {bindOutlet("photo", owner.photo)};
    loader.loadString(json, "Main.json", outlets, owner.actions());
  } catch (const InterfaceError& e) {
    EXPECT_EQ(owner.photo, sentinelPhoto) << "an outlet was assigned by a failed load";
    return e.what();
  }
  return "(loaded)";
}

TEST(InterfaceLoader, ReportsEachFaultWithItsPlaceInTheFile) {
  const std::string photo = R"({"class": "ImageView", "outlet": "photo", "frame": [0, 0, 1, 1]})";
  const std::string at = "Main.json: view.subviews[2].subviews[0]";
  auto withPhoto = [&](const std::string& node) { return inTree(photo + ", " + node); };
  const std::string second = "Main.json: view.subviews[2].subviews[1]";
  const std::pair<std::string, std::string> cases[] = {
      {inTree(R"({"class": "ImagView", "frame": [0, 0, 1, 1]})"),
       at + ": unknown class \"ImagView\""},
      {inTree(R"({"class": "View", "outlet": "offsetVeiw", "frame": [0, 0, 1, 1]})"),
       at + ": unknown outlet \"offsetVeiw\""},
      {withPhoto(R"({"class": "ImageView", "outlet": "photo", "frame": [0, 0, 1, 1]})"),
       second + ": outlet \"photo\" is already connected at view.subviews[2].subviews[0]"},
      {inTree(R"({"class": "Label", "outlet": "photo", "frame": [0, 0, 1, 1]})"),
       at + ": outlet \"photo\" needs an ImageView, not a Label"},
      {inTree(R"({"class": "View", "frame": [0, 0, 1, 1]})"),
       "Main.json: outlet \"photo\" is not connected"},
      // The action fails after the outlet was found: still nothing assigned.
      {withPhoto(R"({"class": "Button", "frame": [0, 0, 1, 1], "action": "toggleTaped"})"),
       second + ".action: unknown action \"toggleTaped\""},
      {withPhoto(R"({"class": "Label", "frame": [0, 0, 1, 1], "action": "toggleTapped"})"),
       second + ".action: actions are sent only by buttons, not by a Label"},
      {withPhoto(R"({"class": "View", "fram": [0, 0, 1, 1]})"),
       second + ": unknown key \"fram\" for a View"},
      {withPhoto(R"({"class": "View", "frame": [0, 0, 1, 1], "text": "x"})"),
       second + ": unknown key \"text\" for a View"},
      {withPhoto(R"({"class": "View", "frame": [0, 0, 1, 1], "frame": [0, 0, 2, 2]})"),
       second + ".frame: key \"frame\" appears twice"},
      {withPhoto(R"({"class": "View"})"), second + ": missing \"frame\""},
      {withPhoto(R"({"class": "View", "frame": [0, 0, 1]})"),
       second + ".frame: expected [x, y, width, height], found [0,0,1]"},
      {withPhoto(R"({"class": "View", "frame": [0, "0", 1, 1]})"),
       second + ".frame[1]: expected a number, found \"0\""},
      {withPhoto(R"({"class": "View", "frame": [0, 0, -1, 1]})"),
       second + ".frame: negative size in [0,0,-1,1]"},
      {withPhoto(R"({"class": "View", "frame": [2e6, 0, 1, 1]})"),
       second + ".frame[0]: expected a number from -1000000 to 1000000, found 2000000.0"},
      {withPhoto(R"({"class": "View", "frame": [0, 0, 1, 1], "alpha": 1.5})"),
       second + ".alpha: expected a number from 0 to 1, found 1.5"},
      {withPhoto(R"({"class": "View", "frame": [0, 0, 1, 1], "backgroundColor": "#12345"})"),
       second + ".backgroundColor: expected \"#rrggbb\" or \"#rrggbbaa\", found \"#12345\""},
      {withPhoto(R"({"class": "Label", "frame": [0, 0, 1, 1], "fontSize": 0})"),
       second + ".fontSize: expected a positive font size, found 0"},
      {withPhoto(R"({"class": "Label", "frame": [0, 0, 1, 1], "numberOfLines": 1.5})"),
       second + ".numberOfLines: expected a whole number, found 1.5"},
      {withPhoto(R"({"class": "Label", "frame": [0, 0, 1, 1], "alignment": "middle"})"),
       second + ".alignment: expected \"left\", \"center\" or \"right\", found \"middle\""},
      {R"({"format": "vitrane-interface/2", "view": {}})",
       "Main.json: format: expected \"vitrane-interface/1\", found \"vitrane-interface/2\""},
      {R"({"format": "vitrane-interface/1", "view": {"class": "View", "frame": [1e400, 0, 1, 1]}})",
       "Main.json: number overflow parsing '1e400'"},
  };
  for (const auto& [json, message] : cases) EXPECT_EQ(loadError(json), message) << json;
}

TEST(InterfaceLoader, SyntaxErrorsGiveTheParserPosition) {
  const std::string message =
      loadError("{\"format\": \"vitrane-interface/1\",\n \"view\": {\"class\" \"View\"}}");
  EXPECT_TRUE(message.starts_with("Main.json: parse error at line 2, column 24: syntax error"))
      << message;
}

// Views nested n deep, the deepest carrying the owner's photo outlet.
std::string chain(int n) {
  std::string node = R"({"class": "ImageView", "outlet": "photo", "frame": [0, 0, 1, 1]})";
  for (int i = 1; i < n; ++i)
    node = R"({"class": "View", "frame": [0, 0, 1, 1], "subviews": [)" + node + "]}";
  return R"({"format": "vitrane-interface/1", "view": )" + node + "}";
}

TEST(InterfaceLoader, RefusesTreesDeeperThanSixtyFourLevels) {
  EXPECT_EQ(loadError(chain(64)), "(loaded)");
  std::string path = "view";
  for (int i = 1; i < 65; ++i) path += ".subviews[0]";
  EXPECT_EQ(loadError(chain(65)), "Main.json: " + path + ": views nest deeper than 64 levels");
  // Far deeper JSON stops at the parser, whatever it holds.
  const std::string arrays =
      R"({"format": "vitrane-interface/1", "_": )" + std::string(100000, '[');
  EXPECT_TRUE(loadError(arrays).find("nested deeper than 512 levels") != std::string::npos);
}

TEST(InterfaceLoader, LoadsFilesAndReportsUnreadableOnes) {
  const testing_files::TempFolder folder("interface-loader");
  const std::filesystem::path& dir = folder.path();
  const auto file = dir / "Main.json";
  std::ofstream(file) << kMain;
  Owner owner;
  InterfaceLoader loader;
  EXPECT_TRUE(loader.loadFile(file.string(), owner.outlets(), owner.actions()));
  EXPECT_TRUE(owner.toggle);

  for (const auto& bad : {dir / "Missing.json", dir}) {
    try {
      loader.loadFile(bad.string(), {}, {});
      ADD_FAILURE() << bad << " loaded";
    } catch (const InterfaceError& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with(bad.string() + ": cannot read the file"))
          << e.what();
    }
  }
}

}  // namespace
