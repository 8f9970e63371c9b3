// The real window on a virtual X display: it opens, draws, takes scripted
// input, shows the table from above beside the screen when there is room,
// writes a screenshot of what it drew and quits cleanly, on its own or on
// SIGTERM. Needs Xvfb; skipped without it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/device_facts.h"
#include "hosts/desktop/birds_eye.h"
#include "kit/image_codec.h"
#include "tests/temp_folder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

#ifdef VITRANE_DESKTOP_PATH
constexpr const char* kDesktopPath = VITRANE_DESKTOP_PATH;
#else
constexpr const char* kDesktopPath = nullptr;
#endif

bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string dirs = path;
  for (size_t start = 0; start <= dirs.size();) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    std::error_code ec;
    if (end > start && fs::exists(fs::path(dirs.substr(start, end - start)) / program, ec))
      return true;
    start = end + 1;
  }
  return false;
}

// A child process that is always gone when this goes, however the test ends.
class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

  // extraEnv comes before the inherited environment, and the first of a
  // name wins; inherited variables named in dropped are left out.
  bool start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
             posix_spawn_file_actions_t* actions = nullptr,
             const std::vector<std::string>& dropped = {}) {
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      const std::string name = entry.substr(0, entry.find('='));
      if (std::find(dropped.begin(), dropped.end(), name) == dropped.end()) env.push_back(entry);
    }
    std::vector<char*> args, envp;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    return posix_spawnp(&pid_, args[0], actions, nullptr, args.data(), envp.data()) == 0;
  }

  // The exit status, or -1 when it has not ended within the time allowed
  // (it is then killed by the destructor).
  int waitFor(std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      const pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

class DesktopSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kDesktopPath)
      GTEST_SKIP() << "vitrane (the desktop window) was not built: SDL2 or SDL2_mixer missing";
    if (!onPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    folder_.emplace("smoke");
    dir_ = folder_->path();
    startDisplay();
  }

  // Xvfb picks a free display itself and writes its number once it takes
  // connections, so there is neither a race for the number nor a guess at
  // how long it takes to start.
  void startDisplay() {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // -fbdir: the screen's pixels in a file, to see what the window shows.
    const bool started = xvfb_.start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                      "1024x1400x24", "-nolisten", "tcp", "-fbdir", dir_.string()},
                                     {}, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    ASSERT_TRUE(started);

    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 15000) > 0) {
      char c;
      if (read(fds[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not say which display it opened";
    display_ = ":" + number;
  }

  // Starts the window with its output kept in a file (the application's
  // log is long), for the failure messages.
  bool startApp(Child& app, const std::vector<std::string>& args) {
    return startApp(app, args, environment(), {});
  }
  bool startApp(Child& app, const std::vector<std::string>& args,
                const std::vector<std::string>& env, const std::vector<std::string>& dropped) {
    logPath_ = dir_ / "vitrane.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<std::string> argv{kDesktopPath};
    argv.insert(argv.end(), args.begin(), args.end());
    const bool started = app.start(argv, env, &actions, dropped);
    posix_spawn_file_actions_destroy(&actions);
    return started;
  }

  // How many pixels of the display look like the instructions panel over
  // the table (dark, brownish, not the black of the bars), read from the
  // display's own pixels, as the person sees them: not from what the
  // window reads back of its last frame.
  std::size_t panelPixelsOnDisplay() const {
    std::ifstream in(dir_ / "Xvfb_screen0", std::ios::binary);
    std::vector<unsigned char> d{std::istreambuf_iterator<char>(in), {}};
    if (d.size() < 100) return 0;
    auto word = [&](std::size_t i) {
      return std::uint32_t{d[4 * i]} << 24 | std::uint32_t{d[4 * i + 1]} << 16 |
             std::uint32_t{d[4 * i + 2]} << 8 | d[4 * i + 3];
    };
    // XWD: a big-endian header, a colour map, then rows of 32-bit pixels
    // (blue, green, red, unused on this little-endian server).
    const std::uint32_t headerSize = word(0), width = word(4), height = word(5),
                        bitsPerPixel = word(11), rowBytes = word(12), colours = word(19);
    const std::size_t start = headerSize + colours * 12;
    if (bitsPerPixel != 32 || d.size() < start + std::size_t{rowBytes} * height) return 0;
    std::size_t count = 0;
    for (std::uint32_t y = 0; y < height; ++y)
      for (std::uint32_t x = 0; x < width; ++x) {
        const unsigned char* p = &d[start + std::size_t{y} * rowBytes + 4 * x];
        const int b = p[0], g = p[1], r = p[2];
        if (r >= 18 && r <= 60 && g < r && b <= g) ++count;
      }
    return count;
  }

  // Everything the window wrote to the terminal.
  std::string output() const {
    std::ifstream in(logPath_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // The last lines the window wrote.
  std::string logTail() const {
    std::ifstream in(logPath_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::string tail;
    for (size_t i = lines.size() > 15 ? lines.size() - 15 : 0; i < lines.size(); ++i)
      tail += lines[i] + "\n";
    return "vitrane's last output:\n" + tail;
  }

  std::vector<std::string> environment() const {
    // No sound card is needed, and none is looked for; the log goes to a
    // state folder of the test's own.
    return {"DISPLAY=" + display_, "SDL_AUDIODRIVER=dummy",
            "XDG_STATE_HOME=" + (dir_ / "state").string()};
  }

  // Made in SetUp, once the test is known to run; removed after Xvfb,
  // which writes its frame buffer there, has gone.
  std::optional<testing_files::TempFolder> folder_;
  Child xvfb_;
  fs::path dir_;
  fs::path logPath_;
  std::string display_;
};

TEST_F(DesktopSmoke, DrawsTheScreenTakesInputAndQuitsOnItsOwn) {
  const fs::path script = dir_ / "input.txt";
  std::ofstream(script) << "0.3 key Left down\n"
                           "0.8 key Left up\n"
                           "0.9 key W down\n"
                           "1.1 key W up\n"
                           "1.2 mouse down 200 300\n"
                           "1.3 mouse move 250 330 mirror\n"
                           "1.4 mouse up 250 330\n"
                           "1.5 finger down 0 400 400\n"
                           "1.6 finger up 0 420 400\n"
                           "1.7 key Space down\n"
                           "1.7 key Space up\n";
  const fs::path shot = dir_ / "shot.png";
  Child app;
  ASSERT_TRUE(startApp(
      app, {"--exit-after", "2", "--screenshot", shot.string(), "--script", script.string()}));
  ASSERT_EQ(app.waitFor(std::chrono::seconds(60)), 0) << logTail();

  const auto image = kit::decodeImageFile(shot.string());
  ASSERT_TRUE(image) << image.error().message << "\n" << logTail();
  const kit::Bitmap& b = *image->bitmap;
  ASSERT_EQ(b.format, kit::PixelFormat::RGBA8);
  EXPECT_EQ(b.width, 768);  // the whole screen fits the display at one pixel a point
  EXPECT_EQ(b.height, 1024);

  std::set<std::uint32_t> colours;
  size_t dark = 0;
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x) {
      const std::uint8_t* p = b.row(y) + 4 * x;
      colours.insert(static_cast<std::uint32_t>(p[0] >> 3) << 10 | (p[1] >> 3) << 5 | (p[2] >> 3));
      if (p[0] < 16 && p[1] < 16 && p[2] < 16) ++dark;
    }
  EXPECT_GE(colours.size(), 8u) << "the screenshot is nearly one colour";
  EXPECT_LT(dark, static_cast<size_t>(b.width) * b.height / 2) << "the screenshot is mostly black";
}

TEST_F(DesktopSmoke, ShowsTheTableFromAboveBesideTheScreenOnceTheWindowIsWide) {
  // Turn, lift the right side, turn about the corner left down; hide the
  // panel and show it again.
  const fs::path script = dir_ / "birds-eye.txt";
  std::ofstream(script) << "0.1 window 1000 800\n"
                           "0.3 key Left down\n"
                           "0.8 key Left up\n"
                           "0.9 key D down\n"
                           "0.9 key D up\n"
                           "1.3 key Left down\n"
                           "1.8 key Left up\n"
                           "1.9 key B down\n"
                           "1.9 key B up\n"
                           "2.0 key B down\n"
                           "2.0 key B up\n";
  const fs::path shot = dir_ / "birds-eye.png";
  Child app;
  ASSERT_TRUE(startApp(
      app, {"--exit-after", "2.3", "--screenshot", shot.string(), "--script", script.string()}));
  ASSERT_EQ(app.waitFor(std::chrono::seconds(60)), 0) << logTail();

  const auto image = kit::decodeImageFile(shot.string());
  ASSERT_TRUE(image) << image.error().message << "\n" << logTail();
  const kit::Bitmap& b = *image->bitmap;
  ASSERT_EQ(b.width, 1000);
  ASSERT_EQ(b.height, 800);
  const auto panel = desktop::placeBirdsEye(1000, 800, desktop::BirdsEyeMode::Auto);
  ASSERT_TRUE(panel);

  auto pixel = [&](int x, int y) { return b.row(y) + 4 * x; };
  std::set<std::uint32_t> colours;
  size_t red = 0, orange = 0;
  // The legend's swatches, along the bottom edge, are the marks' colours
  // too: the marks are looked for above it.
  const int legendTop =
      panel->y +
      static_cast<int>(desktop::BirdsEyeView(device::tabletBody()).legendFrame().origin.y *
                       panel->side / desktop::kBirdsEyePoints);
  for (int y = panel->y; y < panel->y + panel->side; ++y)
    for (int x = panel->x; x < panel->x + panel->side; ++x) {
      const std::uint8_t* p = pixel(x, y);
      colours.insert(static_cast<std::uint32_t>(p[0] >> 3) << 10 | (p[1] >> 3) << 5 | (p[2] >> 3));
      if (y >= legendTop - 1) continue;
      if (p[0] > 200 && p[1] < 60 && p[2] < 60) ++red;                    // the pivot
      if (p[0] > 200 && p[1] > 100 && p[1] < 180 && p[2] < 80) ++orange;  // the picture's outline
    }
  EXPECT_GE(colours.size(), 8u) << "the panel is nearly one colour";
  EXPECT_GE(red, 9u) << "no pivot drawn";
  EXPECT_GE(orange, 50u) << "no outline of the picture drawn";

  // Nothing of it spills into the rest of the bars.
  size_t lit = 0;
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x) {
      const bool inBar = x < 200 || x >= 800;
      const bool nearPanel = x >= panel->x - 1 && x <= panel->x + panel->side &&
                             y >= panel->y - 1 && y <= panel->y + panel->side;
      const std::uint8_t* p = pixel(x, y);
      if (inBar && !nearPanel && (p[0] > 16 || p[1] > 16 || p[2] > 16)) ++lit;
    }
  EXPECT_EQ(lit, 0u);
}

TEST_F(DesktopSmoke, ASlideIsMarkedInTheTableFromAboveForAMomentThoughTheScreenShowsNothing) {
  // Shift+Right: nothing moves on the screen, the panel marks the slide in
  // yellow; a little later the marks are gone.
  auto yellowIn = [&](double exitAfter) -> long {
    const fs::path script = dir_ / "slide.txt";
    std::ofstream(script) << "0.1 window 1000 800\n"
                             "0.5 key Shift+Right down\n"
                             "0.6 key Shift+Right up\n";
    const fs::path shot = dir_ / "slide.png";
    Child app;
    if (!startApp(app,
                  {"--exit-after", std::to_string(exitAfter), "--count-frames-after", "0.7",
                   "--motion", "sim", "--screenshot", shot.string(), "--script", script.string()}))
      return -1;
    if (app.waitFor(std::chrono::seconds(60)) != 0) return -1;
    const auto image = kit::decodeImageFile(shot.string());
    const auto panel = desktop::placeBirdsEye(1000, 800, desktop::BirdsEyeMode::Auto);
    if (!image || !panel) return -1;
    long yellow = 0;
    for (int y = panel->y; y < panel->y + panel->side; ++y)
      for (int x = panel->x; x < panel->x + panel->side; ++x) {
        const std::uint8_t* p = image->bitmap->row(y) + 4 * x;
        if (p[0] > 200 && p[1] > 190 && p[2] < 90) ++yellow;
      }
    return yellow;
  };
  EXPECT_GE(yellowIn(1.2), 40) << logTail();
  // Drawn as it goes, though the application's views do not change.
  EXPECT_NE(output().find("frames drawn from 0.7 s on"), std::string::npos) << output();
  EXPECT_EQ(output().find("vitrane: 0 frames drawn from 0.7 s on"), std::string::npos) << output();
  EXPECT_EQ(yellowIn(2.5), 0) << logTail();
}

TEST_F(DesktopSmoke, TheLogGoesToTheStateFolderAndTheTerminalHearsOnlyWhatTheUserNeeds) {
  const fs::path missing = dir_ / "no-such-folder";
  Child app;
  ASSERT_TRUE(
      startApp(app, {"--exit-after", "0.5", "--motion", "sim", "--library", missing.string()}));
  ASSERT_EQ(app.waitFor(std::chrono::seconds(60)), 0) << logTail();

  std::ifstream in(dir_ / "state" / "vitrane" / "vitrane.log");
  std::stringstream log;
  log << in.rdbuf();
  EXPECT_NE(log.str().find("Tile array is "), std::string::npos) << log.str();
  const std::string terminal = output();
  EXPECT_EQ(terminal.find("Tile array is "), std::string::npos) << terminal;
  EXPECT_NE(
      terminal.find("vitrane: the photo library folder " + missing.string() + " does not exist"),
      std::string::npos)
      << terminal;

  // The next session keeps this one's log beside its own.
  Child again;
  ASSERT_TRUE(
      startApp(again, {"--exit-after", "0.5", "--motion", "sim", "--library", dir_.string()}));
  ASSERT_EQ(again.waitFor(std::chrono::seconds(60)), 0) << logTail();
  EXPECT_TRUE(fs::exists(dir_ / "state" / "vitrane" / "vitrane.log.old"));
  EXPECT_EQ(output().find("photo library"), std::string::npos) << output();

  // --log - prints it.
  Child printing;
  ASSERT_TRUE(startApp(printing, {"--exit-after", "0.5", "--motion", "sim", "--log", "-"}));
  ASSERT_EQ(printing.waitFor(std::chrono::seconds(60)), 0) << logTail();
  EXPECT_NE(output().find("Tile array is "), std::string::npos) << logTail();
}

TEST_F(DesktopSmoke, AStillWindowDrawsNothingAfterThePhotosAreHidden) {
  // One small photo, dropped near the centre, far from where the press
  // that brings the panel back lands.
  const fs::path library = dir_ / "library";
  fs::create_directories(library / "Album");
  kit::Bitmap photo = kit::Bitmap::make(40, 30, kit::PixelFormat::RGBA8);
  photo.pixels.assign(photo.pixels.size(), 200);
  ASSERT_TRUE(kit::writePngFile(photo, (library / "Album" / "photo.png").string()));

  // Show Photos; once they are shown (the panel goes), press the table to
  // bring the panel back and press Hide Photos. The dropped photo keeps
  // spinning on the hidden layer, and the spinner has stopped.
  const fs::path script = dir_ / "hide.txt";
  std::ofstream(script) << "0.5 mouse down 240 490\n"
                           "0.6 mouse up 240 490\n"
                           "3.0 mouse down 700 980\n"
                           "3.8 mouse up 700 980\n"
                           "4.5 mouse down 240 490\n"
                           "4.6 mouse up 240 490\n";
  Child app;
  ASSERT_TRUE(startApp(app, {"--exit-after", "7.5", "--count-frames-after", "5.5", "--motion",
                             "sim", "--library", library.string(), "--script", script.string()}));
  ASSERT_EQ(app.waitFor(std::chrono::seconds(60)), 0) << logTail();
  std::ifstream in(dir_ / "state" / "vitrane" / "vitrane.log");
  std::stringstream log;
  log << in.rdbuf();
  ASSERT_NE(log.str().find("Adding the 0'th wandering image"), std::string::npos) << log.str();
  EXPECT_NE(output().find("vitrane: 0 frames drawn from 5.5 s on"), std::string::npos) << output();
}

TEST_F(DesktopSmoke, APlainLaunchShowsTheInstructionsPanelInTheWindow) {
  // No script, no screenshot: nothing wakes the window but its own timers,
  // so the panel's fade-in must be drawn to its end by the redraw watch.
  Child app;
  ASSERT_TRUE(startApp(app, {"--motion", "sim"}));
  std::size_t panel = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
  while ((panel = panelPixelsOnDisplay()) < 150000 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  // The panel is 600 by 580 points; the table's grain has few such pixels.
  EXPECT_GE(panel, 150000u) << logTail();
  ASSERT_EQ(kill(app.pid(), SIGTERM), 0);
  EXPECT_EQ(app.waitFor(std::chrono::seconds(10)), 0) << logTail();
}

TEST_F(DesktopSmoke, QuitsCleanlyOnSigterm) {
  // A script that quits only long after the signal, so the exit is the signal's.
  const fs::path script = dir_ / "late.txt";
  std::ofstream(script) << "60 quit\n";
  Child app;
  ASSERT_TRUE(startApp(app, {"--script", script.string()}));
  // Long enough for the window to be open and the loop turning.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  ASSERT_EQ(kill(app.pid(), SIGTERM), 0);
  EXPECT_EQ(app.waitFor(std::chrono::seconds(10)), 0) << logTail();
}

TEST_F(DesktopSmoke, RefusesToRunUnseenWhenNoDisplayCanBeReached) {
  // SDL would fall back to drawing nowhere; the window must say so and
  // fail rather than run invisible. No Wayland socket can be found in an
  // empty runtime folder.
  const fs::path runtime = dir_ / "runtime";
  fs::create_directories(runtime);
  Child app;
  ASSERT_TRUE(startApp(app, {"--exit-after", "5"}, {"XDG_RUNTIME_DIR=" + runtime.string()},
                       {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}));
  EXPECT_EQ(app.waitFor(std::chrono::seconds(10)), 1) << logTail();
  EXPECT_NE(logTail().find("no display"), std::string::npos) << logTail();
}

}  // namespace
