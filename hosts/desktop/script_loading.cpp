#include "hosts/desktop/script_loading.h"

#include "hosts/desktop/file_text.h"

namespace desktop {

std::optional<std::vector<InputStep>> loadScript(const std::string& path, const KeyNameCheck& isKeyName,
                                                 const Say& say) {
  if (path.empty()) return std::vector<InputStep>{};
  const std::optional<std::string> text = readFileText(path);
  if (!text) {
    say("cannot read " + path);
    return std::nullopt;
  }
  try {
    std::vector<InputStep> steps = parseInputScript(*text, path);
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
