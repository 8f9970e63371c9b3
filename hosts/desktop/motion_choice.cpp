#include "hosts/desktop/motion_choice.h"

#include "kit/iio_motion_source.h"
#include "kit/posix_io.h"

namespace desktop {

namespace {

std::optional<MotionChoice> replayOf(const Options& options, const Say& say) {
  const auto bytes = kit::readToEnd(options.replayPath);
  if (!bytes) {
    say("cannot read " + options.replayPath);
    return std::nullopt;
  }
  MotionChoice choice;
  try {
    auto replay = std::make_unique<ReplayMotionSource>(std::string(bytes->begin(), bytes->end()),
                                                       options.replayPath);
    choice.replay = replay.get();
    choice.live = std::move(replay);
  } catch (const ReplayError& e) {
    say(e.what());
    return std::nullopt;
  }
  // The picture turns as it did in the session recorded, unless the
  // command line says otherwise.
  const std::optional<bool> recorded = choice.replay->flatPivotEstimate();
  choice.flatPivotEstimate =
      recorded && !options.flatPivotChosen ? *recorded : options.flatPivotEstimate;
  return choice;
}

}  // namespace

std::optional<MotionChoice> chooseMotion(const Options& options, const Say& say) {
  using Motion = Options::Motion;
  if (options.motion == Motion::Replay) return replayOf(options, say);
  MotionChoice choice;
  choice.flatPivotEstimate = options.flatPivotEstimate;
  if (options.motion == Motion::Simulated) return choice;
  const kit::IioPaths paths =
      options.iioRoot.empty() ? kit::IioPaths{} : kit::IioPaths::underRoot(options.iioRoot);
  auto iio = kit::IioMotionSource::open(paths, {});
  if (iio) {
    if (options.motion == Motion::Auto)
      say("motion from the IIO sensors: " + (*iio)->description());
    choice.live = std::move(*iio);
    return choice;
  }
  const std::string& why = iio.error().message;
  if (options.motion == Motion::Iio) {
    say(why);
    return std::nullopt;
  }
  say("motion from the simulated tablet on the keyboard (" + why + ")");
  return choice;
}

}  // namespace desktop
