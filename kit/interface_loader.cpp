#include "kit/interface_loader.h"

#include <fcntl.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>

#include <nlohmann/json.hpp>

#include "kit/activity_indicator.h"
#include "kit/image_view.h"
#include "kit/label.h"
#include "kit/posix_io.h"

namespace kit {

using nlohmann::json;

namespace {

constexpr const char* kFormat = "vitrane-interface/1";
constexpr int kMaxViewDepth = 64;
// Far beyond what kMaxViewDepth allows, only so that a runaway file cannot
// make the key checks below, or anything later, walk an unbounded stack.
constexpr size_t kMaxJsonDepth = 512;
constexpr double kMaxCoordinate = 1e6;
constexpr double kMaxFontSize = 1e4;
constexpr double kMaxLines = 1e6;

std::string errorText(std::string source, const std::string& path, const std::string& detail) {
  if (!path.empty()) source += ": " + path;
  return source + ": " + detail;
}

// Names from files and from code go into messages JSON-quoted, so that a
// stray newline or quote cannot disguise where the message ends.
std::string quoteName(const std::string& text) {
  return json(text).dump(-1, ' ', false, json::error_handler_t::replace);
}

// "a Label", "an ImageView".
std::string article(const std::string& className) {
  const bool vowel = !className.empty() &&
                     std::string_view("AEIOUaeiou").find(className[0]) != std::string_view::npos;
  return (vowel ? "an " : "a ") + className;
}

std::string member(const std::string& path, const std::string& key) {
  return path.empty() ? key : path + "." + key;
}

std::string decimal(double d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10g", d);
  return buf;
}

std::string element(const std::string& path, size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

// nlohmann keeps the last of repeated keys without a word, so a second
// "frame" pasted into a node would win silently; this catches repeats while
// parsing, and bounds the nesting.
class ParseGuard {
 public:
  explicit ParseGuard(const std::string& source) : source_(source) {}

  bool operator()(int, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        if (stack_.size() >= kMaxJsonDepth)
          throw InterfaceError(source_, path(),
                               "nested deeper than " + std::to_string(kMaxJsonDepth) + " levels");
        stack_.push_back({event == json::parse_event_t::array_start, 0, {}, {}});
        break;
      case json::parse_event_t::key: {
        Level& level = stack_.back();
        level.key = parsed.get<std::string>();
        if (!level.keys.insert(level.key).second)
          throw InterfaceError(source_, path(), "key " + quoteName(level.key) + " appears twice");
        break;
      }
      case json::parse_event_t::object_end:
      case json::parse_event_t::array_end:
        stack_.pop_back();
        finishedElement();
        break;
      case json::parse_event_t::value: finishedElement(); break;
    }
    return true;
  }

 private:
  struct Level {
    bool array;
    size_t index;
    std::string key;
    std::set<std::string> keys;
  };

  void finishedElement() {
    if (!stack_.empty() && stack_.back().array) ++stack_.back().index;
  }

  // Where the parser is: built only for a message, as carrying a path per
  // level would cost the square of the depth.
  std::string path() const {
    std::string p;
    for (size_t i = 0; i < stack_.size(); ++i) {
      const Level& level = stack_[i];
      const bool last = i + 1 == stack_.size();
      if (level.array) {
        p = element(p, level.index);
      } else if (!level.key.empty() || !last) {
        p = member(p, level.key);
      }
    }
    return p;
  }

  const std::string& source_;
  std::vector<Level> stack_;
};

bool isComment(const std::string& key) { return !key.empty() && key[0] == '_'; }

// One load: everything found so far, nothing handed to the owner until the
// whole tree is built.
class Build {
 public:
  Build(const std::string& source, const std::map<std::string, InterfaceLoader::Factory>& classes,
        const std::function<ImageRef(const std::string&)>& images,
        const std::vector<OutletBinding>& outlets, const ActionResolver& actions)
      : source_(source), classes_(classes), images_(images), actions_(actions) {
    for (const OutletBinding& binding : outlets) {
      if (!bindings_.emplace(binding.name, &binding).second)
        fail("", "outlet " + quoteName(binding.name) + " is bound twice by the owner");
    }
  }

  ViewRef document(const json& doc) {
    if (!doc.is_object()) fail("", "expected an object with \"format\" and \"view\"");
    for (const auto& [key, value] : doc.items()) {
      if (isComment(key) || key == "format" || key == "view") continue;
      if (key == "owner") {
        if (!value.is_string()) fail("owner", "expected a class name");
        continue;
      }
      fail("", "unknown key " + quoteName(key));
    }
    const auto format = doc.find("format");
    if (format == doc.end()) fail("", "missing \"format\"");
    if (!format->is_string() || format->get<std::string>() != kFormat)
      fail("format", "expected " + quoteName(kFormat) + ", found " + format->dump());
    const auto view = doc.find("view");
    if (view == doc.end()) fail("", "missing \"view\"");

    ViewRef root = node(*view, "view", 1);
    connectOutlets();
    return root;
  }

 private:
  struct Connection {
    ViewRef view;
    std::string path;
  };

  [[noreturn]] void fail(const std::string& path, const std::string& detail) const {
    throw InterfaceError(source_, path, detail);
  }

  ViewRef node(const json& j, const std::string& path, int depth) {
    if (depth > kMaxViewDepth)
      fail(path, "views nest deeper than " + std::to_string(kMaxViewDepth) + " levels");
    if (!j.is_object()) fail(path, "expected a view object");

    const auto cls = j.find("class");
    if (cls == j.end()) fail(path, "missing \"class\"");
    if (!cls->is_string()) fail(member(path, "class"), "expected a class name");
    const std::string className = cls->get<std::string>();
    const auto factory = classes_.find(className);
    if (factory == classes_.end()) fail(path, "unknown class " + quoteName(className));
    ViewRef view = factory->second();
    if (!view) fail(path, "the factory for " + quoteName(className) + " made no view");
    // A factory handing out a shared instance would have the tree quietly
    // move it from node to node.
    if (view->superview() || !made_.insert(view.get()).second)
      fail(path, "the factory for " + quoteName(className) + " returned a view already in use");

    auto* imageView = dynamic_cast<ImageView*>(view.get());
    auto* label = dynamic_cast<Label*>(view.get());
    auto* button = dynamic_cast<Button*>(view.get());
    auto* indicator = dynamic_cast<ActivityIndicatorView*>(view.get());

    // Every key first, so a misspelt one is reported even when a later
    // check would also fail.
    static const std::set<std::string> viewKeys = {
        "class",         "outlet",          "frame",   "center",
        "anchorPoint",   "alpha",           "hidden",  "userInteractionEnabled",
        "clipsToBounds", "backgroundColor", "subviews"};
    static const std::set<std::string> imageViewKeys = {"image"};
    static const std::set<std::string> labelKeys = {"text",      "fontSize",      "bold",
                                                    "textColor", "numberOfLines", "alignment"};
    static const std::set<std::string> buttonKeys = {"titles", "selected", "action", "fontSize",
                                                     "titleColor"};
    static const std::set<std::string> indicatorKeys = {"hidesWhenStopped", "color"};
    for (const auto& item : j.items()) {
      const std::string& key = item.key();
      if (isComment(key) || viewKeys.count(key) || (imageView && imageViewKeys.count(key)) ||
          (label && labelKeys.count(key)) || (button && buttonKeys.count(key)) ||
          (indicator && indicatorKeys.count(key)))
        continue;
      if (key == "action")
        fail(member(path, key),
             "actions are sent only by buttons, not by " + article(view->className()));
      fail(path, "unknown key " + quoteName(key) + " for " + article(view->className()));
    }

    if (const auto outlet = j.find("outlet"); outlet != j.end())
      connect(*outlet, view, member(path, "outlet"), path);

    if (const auto v = j.find("anchorPoint"); v != j.end())
      view->setAnchorPoint(point(*v, member(path, "anchorPoint")));
    const auto frame = j.find("frame");
    if (frame == j.end()) fail(path, "missing \"frame\"");
    view->setFrame(rect(*frame, member(path, "frame")));
    if (const auto v = j.find("center"); v != j.end())
      view->setCenter(point(*v, member(path, "center")));
    if (const auto v = j.find("alpha"); v != j.end())
      view->setAlpha(static_cast<float>(number(*v, member(path, "alpha"), 0, 1)));
    if (const auto v = j.find("hidden"); v != j.end())
      view->setHidden(boolean(*v, member(path, "hidden")));
    if (const auto v = j.find("userInteractionEnabled"); v != j.end())
      view->setUserInteractionEnabled(boolean(*v, member(path, "userInteractionEnabled")));
    if (const auto v = j.find("clipsToBounds"); v != j.end())
      view->setClipsToBounds(boolean(*v, member(path, "clipsToBounds")));
    if (const auto v = j.find("backgroundColor"); v != j.end())
      view->setBackgroundColor(color(*v, member(path, "backgroundColor")));

    if (imageView) configureImageView(*imageView, j, path);
    if (label) configureLabel(*label, j, path);
    if (button) configureButton(*button, j, path);
    if (indicator) configureIndicator(*indicator, j, path);

    if (const auto subviews = j.find("subviews"); subviews != j.end()) {
      const std::string subPath = member(path, "subviews");
      if (!subviews->is_array()) fail(subPath, "expected an array of views");
      for (size_t i = 0; i < subviews->size(); ++i)
        view->addSubview(node((*subviews)[i], element(subPath, i), depth + 1));
    }
    return view;
  }

  void configureImageView(ImageView& view, const json& j, const std::string& path) {
    const auto v = j.find("image");
    if (v == j.end()) return;
    const std::string name = text(*v, member(path, "image"));
    if (name.empty()) fail(member(path, "image"), "expected a resource name");
    if (images_) view.setImage(images_(name));
  }

  void configureLabel(Label& label, const json& j, const std::string& path) {
    if (const auto v = j.find("text"); v != j.end()) label.setText(text(*v, member(path, "text")));
    if (const auto v = j.find("fontSize"); v != j.end()) label.fontSize = fontSize(*v, path);
    if (const auto v = j.find("bold"); v != j.end())
      label.boldFont = boolean(*v, member(path, "bold"));
    if (const auto v = j.find("textColor"); v != j.end())
      label.textColor = color(*v, member(path, "textColor"));
    if (const auto v = j.find("numberOfLines"); v != j.end()) {
      const std::string p = member(path, "numberOfLines");
      const double lines = number(*v, p, 0, kMaxLines);
      if (lines != std::floor(lines)) fail(p, "expected a whole number, found " + v->dump());
      label.numberOfLines = static_cast<int>(lines);
    }
    if (const auto v = j.find("alignment"); v != j.end()) {
      const std::string p = member(path, "alignment");
      const std::string a = text(*v, p);
      if (a == "left")
        label.textAlignment = TextAlignment::Left;
      else if (a == "center")
        label.textAlignment = TextAlignment::Center;
      else if (a == "right")
        label.textAlignment = TextAlignment::Right;
      else
        fail(p, "expected \"left\", \"center\" or \"right\", found " + quoteName(a));
    }
  }

  void configureButton(Button& button, const json& j, const std::string& path) {
    if (const auto titles = j.find("titles"); titles != j.end()) {
      const std::string p = member(path, "titles");
      if (!titles->is_object()) fail(p, "expected an object of titles by state");
      static const std::map<std::string, ControlState> states = {
          {"normal", ControlState::Normal},
          {"highlighted", ControlState::Highlighted},
          {"selected", ControlState::Selected},
          {"disabled", ControlState::Disabled}};
      for (const auto& [key, value] : titles->items()) {
        if (isComment(key)) continue;
        const auto state = states.find(key);
        if (state == states.end()) fail(p, "unknown control state " + quoteName(key));
        button.setTitle(text(value, member(p, key)), state->second);
      }
    }
    if (const auto v = j.find("selected"); v != j.end())
      button.setSelected(boolean(*v, member(path, "selected")));
    if (const auto v = j.find("fontSize"); v != j.end()) button.fontSize = fontSize(*v, path);
    if (const auto v = j.find("titleColor"); v != j.end())
      button.titleColor = color(*v, member(path, "titleColor"));
    if (const auto v = j.find("action"); v != j.end()) {
      const std::string p = member(path, "action");
      const std::string name = text(*v, p);
      Button::Action action = actions_ ? actions_(name) : Button::Action{};
      if (!action) fail(p, "unknown action " + quoteName(name));
      button.addAction(std::move(action));
    }
  }

  void configureIndicator(ActivityIndicatorView& indicator, const json& j,
                          const std::string& path) {
    if (const auto v = j.find("hidesWhenStopped"); v != j.end())
      indicator.hidesWhenStopped = boolean(*v, member(path, "hidesWhenStopped"));
    if (const auto v = j.find("color"); v != j.end())
      indicator.color = color(*v, member(path, "color"));
  }

  // --- Outlets ---------------------------------------------------------------

  void connect(const json& value, const ViewRef& view, const std::string& valuePath,
               const std::string& nodePath) {
    if (!value.is_string() || value.get<std::string>().empty())
      fail(valuePath, "expected an outlet name");
    const std::string name = value.get<std::string>();
    const auto binding = bindings_.find(name);
    if (binding == bindings_.end()) fail(nodePath, "unknown outlet " + quoteName(name));
    if (const auto seen = connected_.find(name); seen != connected_.end())
      fail(nodePath, "outlet " + quoteName(name) + " is already connected at " + seen->second.path);
    const OutletBinding& b = *binding->second;
    if (b.accepts && !b.accepts(*view))
      fail(nodePath, "outlet " + quoteName(name) + " needs " + article(b.expectedClass) + ", not " +
                         article(view->className()));
    view->setName(name);
    connected_.emplace(name, Connection{view, nodePath});
  }

  void connectOutlets() {
    for (const auto& [name, binding] : bindings_)
      if (!connected_.count(name)) fail("", "outlet " + quoteName(name) + " is not connected");
    for (const auto& [name, binding] : bindings_) {
      const Connection& c = connected_.at(name);
      if (!binding->assign || !binding->assign(c.view))
        fail(c.path, "outlet " + quoteName(name) + " refused " + article(c.view->className()));
    }
  }

  // --- Values ----------------------------------------------------------------

  double number(const json& v, const std::string& path, double min, double max) const {
    // JSON has no NaN or infinity, but the check costs nothing and keeps
    // the range test honest should a number ever arrive another way.
    if (!v.is_number()) fail(path, "expected a number, found " + v.dump());
    const double d = v.get<double>();
    if (!std::isfinite(d) || d < min || d > max)
      fail(path, "expected a number from " + decimal(min) + " to " + decimal(max) + ", found " +
                     v.dump());
    return d;
  }

  float fontSize(const json& v, const std::string& nodePath) const {
    const std::string p = member(nodePath, "fontSize");
    const double size = number(v, p, 0, kMaxFontSize);
    if (size <= 0) fail(p, "expected a positive font size, found " + v.dump());
    return static_cast<float>(size);
  }

  bool boolean(const json& v, const std::string& path) const {
    if (!v.is_boolean()) fail(path, "expected true or false, found " + v.dump());
    return v.get<bool>();
  }

  std::string text(const json& v, const std::string& path) const {
    if (!v.is_string()) fail(path, "expected a string, found " + v.dump());
    return v.get<std::string>();
  }

  Color color(const json& v, const std::string& path) const {
    const auto c = v.is_string() ? Color::fromHex(v.get<std::string>()) : std::nullopt;
    if (!c) fail(path, "expected \"#rrggbb\" or \"#rrggbbaa\", found " + v.dump());
    return *c;
  }

  // Numbers of a fixed-length array, each within [min, max].
  std::vector<float> numbers(const json& v, const std::string& path, size_t count,
                             const char* shape) const {
    if (!v.is_array() || v.size() != count)
      fail(path, std::string("expected ") + shape + ", found " + v.dump());
    std::vector<float> out;
    for (size_t i = 0; i < count; ++i)
      out.push_back(
          static_cast<float>(number(v[i], element(path, i), -kMaxCoordinate, kMaxCoordinate)));
    return out;
  }

  Point point(const json& v, const std::string& path) const {
    const auto n = numbers(v, path, 2, "[x, y]");
    return {n[0], n[1]};
  }

  Rect rect(const json& v, const std::string& path) const {
    const auto n = numbers(v, path, 4, "[x, y, width, height]");
    if (n[2] < 0 || n[3] < 0) fail(path, "negative size in " + v.dump());
    return {n[0], n[1], n[2], n[3]};
  }

  const std::string& source_;
  const std::map<std::string, InterfaceLoader::Factory>& classes_;
  const std::function<ImageRef(const std::string&)>& images_;
  const ActionResolver& actions_;
  std::map<std::string, const OutletBinding*> bindings_;
  std::map<std::string, Connection> connected_;
  std::set<const View*> made_;
};

}  // namespace

InterfaceError::InterfaceError(std::string source, std::string path, std::string detail)
    : std::runtime_error(errorText(source, path, detail)),
      source_(std::move(source)),
      path_(std::move(path)),
      detail_(std::move(detail)) {}

InterfaceLoader::InterfaceLoader() {
  registerClass("View", [] { return std::make_shared<View>(); });
  registerClass("ImageView", [] { return std::make_shared<ImageView>(); });
  registerClass("Label", [] { return std::make_shared<Label>(); });
  registerClass("Button", [] { return std::make_shared<Button>(); });
  registerClass("ActivityIndicatorView", [] { return std::make_shared<ActivityIndicatorView>(); });
}

void InterfaceLoader::registerClass(std::string className, Factory factory) {
  if (className.empty() || !factory)
    throw std::invalid_argument("InterfaceLoader::registerClass needs a name and a factory");
  classes_[std::move(className)] = std::move(factory);
}

void InterfaceLoader::setImageProvider(std::function<ImageRef(const std::string& name)> provider) {
  images_ = std::move(provider);
}

ViewRef InterfaceLoader::loadFile(const std::string& path,
                                  const std::vector<OutletBinding>& outlets,
                                  const ActionResolver& actions) const {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status))
    throw InterfaceError(path, "", "cannot read the file: no such file");
  if (!std::filesystem::is_regular_file(status))
    throw InterfaceError(path, "", "cannot read the file: not a regular file");
  const auto file = openFd(path, O_RDONLY | O_NONBLOCK);
  if (!file) throw InterfaceError(path, "", "cannot read the file: " + file.error().message);
  const auto bytes = readFd(file->get());
  if (!bytes) throw InterfaceError(path, "", "cannot read the file: read error");
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  return loadString(text, path, outlets, actions);
}

ViewRef InterfaceLoader::loadString(std::string_view text, const std::string& sourceName,
                                    const std::vector<OutletBinding>& outlets,
                                    const ActionResolver& actions) const {
  json doc;
  try {
    ParseGuard guard(sourceName);
    doc = json::parse(text.begin(), text.end(),
                      [&guard](int depth, json::parse_event_t event, json& parsed) {
                        return guard(depth, event, parsed);
                      });
  } catch (const json::exception& e) {
    // Drop nlohmann's "[json.exception.parse_error.101] " tag; its message
    // already says "parse error at line L, column C".
    std::string message = e.what();
    if (const auto close = message.find("] ");
        message.starts_with("[json.") && close != std::string::npos)
      message.erase(0, close + 2);
    throw InterfaceError(sourceName, "", message);
  }
  return Build(sourceName, classes_, images_, outlets, actions).document(doc);
}

}  // namespace kit
