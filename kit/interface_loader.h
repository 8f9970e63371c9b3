// Interface files: a view tree described in JSON, built into kit views, with
// the owner's outlets connected and button actions wired by name.
//
//   {"format": "vitrane-interface/1", "owner": "MainViewController", "view": NODE}
//
// "owner" only says who the file is meant for. A NODE is an object:
//
//   "class"      "View", "ImageView", "Label", "Button",
//                "ActivityIndicatorView" or a registered class name
//   "outlet"     the owner's outlet to connect; also becomes the view's name()
//   "frame"      [x, y, width, height] in the superview (required)
//   "anchorPoint" [x, y]  set before the frame, so the frame is kept as written
//   "center"     [x, y]   set after the frame, so it moves the view
//   "alpha" (0..1), "hidden", "userInteractionEnabled", "clipsToBounds",
//   "backgroundColor" ("#rrggbb" or "#rrggbbaa")
//   "subviews"   [NODE, ...] back to front
//
// and by class (a registered class derived from one of these takes its keys):
//
//   ImageView              "image": resource name, asked of the image provider;
//                          an image it cannot give leaves the view empty
//   Label                  "text", "fontSize", "bold", "textColor",
//                          "numberOfLines", "alignment" ("left"|"center"|"right")
//   Button                 "titles": {"normal"|"selected"|"highlighted"|
//                          "disabled": text}, "selected", "action": name,
//                          "fontSize", "titleColor"
//   ActivityIndicatorView  "hidesWhenStopped", "color"
//
// Files are read strictly so that a typo fails at load rather than leaving a
// view quietly misplaced: unknown or repeated keys, out-of-range numbers
// (coordinates beyond ±1e6, negative sizes), unknown classes, outlets and
// actions are all errors. Keys starting with "_" are comments, anywhere.
// Views nest at most 64 deep.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "kit/button.h"
#include "kit/image.h"
#include "kit/view.h"

namespace kit {

// what() is "SOURCE: PATH: message", PATH locating the offending value in
// the file ("view.subviews[2].frame"); it is left out for faults of the file
// as a whole.
class InterfaceError : public std::runtime_error {
 public:
  InterfaceError(std::string source, std::string path, std::string detail);

  const std::string& source() const { return source_; }
  const std::string& path() const { return path_; }
  const std::string& detail() const { return detail_; }

 private:
  std::string source_;
  std::string path_;
  std::string detail_;
};

// One of the owner's outlets. The loader checks every view against accepts
// while it builds the tree and calls assign only once the whole file has
// loaded, so a failed load leaves every outlet as it was. A binding without
// accepts takes any view; if its assign then refuses one, the load still
// fails, but outlets assigned before it keep their new views.
struct OutletBinding {
  std::string name;
  std::string expectedClass;  // for messages
  std::function<bool(const ViewRef&)> assign;
  std::function<bool(const View&)> accepts;
};

// The className() an outlet of type T asks for. A view class without a
// default constructor gives its own ViewClassName<T>.
template <class T>
struct ViewClassName {
  static std::string get() { return T().className(); }
};

template <class T>
OutletBinding bindOutlet(std::string name, std::shared_ptr<T>& slot) {
  static_assert(std::is_base_of_v<View, T>, "outlets hold views");
  OutletBinding binding;
  binding.name = std::move(name);
  binding.expectedClass = ViewClassName<T>::get();
  binding.accepts = [](const View& view) {
    if constexpr (std::is_same_v<T, View>)
      return true;
    else
      return dynamic_cast<const T*>(&view) != nullptr;
  };
  binding.assign = [&slot](const ViewRef& view) {
    auto typed = std::dynamic_pointer_cast<T>(view);
    if (!typed) return false;
    slot = std::move(typed);
    return true;
  };
  return binding;
}

// The owner's action for a name, or an empty function when it has none.
using ActionResolver = std::function<Button::Action(const std::string& actionName)>;

class InterfaceLoader {
 public:
  using Factory = std::function<ViewRef()>;

  InterfaceLoader();

  // Makes className usable in files; a later registration of the same name,
  // built-in ones included, replaces the earlier one.
  void registerClass(std::string className, Factory factory);
  void setImageProvider(std::function<ImageRef(const std::string& name)> provider);

  // The root view. Throws InterfaceError; errors name the file by path.
  ViewRef loadFile(const std::string& path, const std::vector<OutletBinding>& outlets,
                   const ActionResolver& actions) const;
  ViewRef loadString(std::string_view json, const std::string& sourceName,
                     const std::vector<OutletBinding>& outlets,
                     const ActionResolver& actions) const;

 private:
  std::map<std::string, Factory> classes_;
  std::function<ImageRef(const std::string&)> images_;
};

}  // namespace kit
