// Replays the inputs the fuzzers found faults with (tests/data/fuzz/TARGET/)
// and their seed corpora (fuzz/corpus/TARGET/) through the fuzz targets'
// own entry points. Under the sanitizer build a fault that comes back is
// reported where it happens; in a plain build a crash or an escaping
// exception still fails the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/entry_points.h"

namespace {

namespace fs = std::filesystem;

using EntryPoint = void (*)(const std::uint8_t*, std::size_t);

std::vector<fs::path> filesIn(const fs::path& dir) {
  std::vector<fs::path> files;
  if (fs::is_directory(dir))
    for (const auto& entry : fs::directory_iterator(dir))
      if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
        files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// Returns how many inputs ran.
std::size_t replay(const fs::path& dir, EntryPoint entry) {
  std::size_t count = 0;
  for (const fs::path& file : filesIn(dir)) {
    SCOPED_TRACE(file.string());
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NO_THROW(entry(bytes.data(), bytes.size()));
    ++count;
  }
  return count;
}

const fs::path kFindings = fs::path(VITRANE_TEST_DATA) / "fuzz";
const fs::path kSeeds = fs::path(VITRANE_TEST_DATA) / ".." / ".." / "fuzz" / "corpus";

struct Target {
  const char* name;
  EntryPoint entry;
};

// Names the target in test listings instead of dumping its bytes.
void PrintTo(const Target& target, std::ostream* os) { *os << target.name; }

class FuzzRegressions : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzRegressions, FindingsAndSeedsRunCleanly) {
  const Target& target = GetParam();
  replay(kFindings / target.name, target.entry);
  // The seeds must be there: without them the fuzzer starts from nothing.
  EXPECT_GT(replay(kSeeds / target.name, target.entry), 0u);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions,
                         ::testing::Values(Target{"scenario", fuzzing::scenarioInput},
                                           Target{"interface", fuzzing::interfaceInput},
                                           Target{"image", fuzzing::imageInput}),
                         [](const auto& info) { return std::string(info.param.name); });

// The empty input and a single byte reach every entry point's edge.
TEST(FuzzRegressions, EmptyAndOneByteInputs) {
  const std::uint8_t one[] = {0xff};
  for (EntryPoint entry : {fuzzing::scenarioInput, fuzzing::interfaceInput, fuzzing::imageInput}) {
    EXPECT_NO_THROW(entry(nullptr, 0));
    EXPECT_NO_THROW(entry(one, 1));
  }
}

}  // namespace
