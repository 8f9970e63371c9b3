#include "hosts/desktop/script_loading.h"

#include "kit/posix_io.h"

namespace desktop {

std::optional<std::vector<InputStep>> loadScript(const std::string& path,
                                                 const KeyNameCheck& isKeyName, const Say& say) {
  if (path.empty()) return std::vector<InputStep>{};
  const auto bytes = kit::readToEnd(path);
  if (!bytes) {
    say("cannot read " + path);
    return std::nullopt;
  }
  try {
    std::vector<InputStep> steps =
        parseInputScript(std::string(bytes->begin(), bytes->end()), path);
    for (const InputStep& step : steps)
      if (step.kind == InputStep::Kind::Key && !isKeyName(step.key)) {
        say(path + ": no key is called \"" + step.key + "\"");
        return std::nullopt;
      }
    return steps;
  } catch (const InputScriptError& e) {
    say(e.what());
    return std::nullopt;
  }
}

}  // namespace desktop
