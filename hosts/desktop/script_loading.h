// `vitrane --script FILE`: the input to replay, read and checked before
// the window opens.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hosts/desktop/input_script.h"
#include "hosts/desktop/motion_choice.h"

namespace desktop {

// Whether the window's input knows a key by this name ("Left", "W").
using KeyNameCheck = std::function<bool(const std::string&)>;

// The steps of the file at path (none for no path); nothing, with why said,
// when it cannot be read, a line is malformed or names no key.
std::optional<std::vector<InputStep>> loadScript(const std::string& path,
                                                 const KeyNameCheck& isKeyName, const Say& say);

}  // namespace desktop
