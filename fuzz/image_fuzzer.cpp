// libFuzzer target; see entry_points.h.
#include "fuzz/entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::imageInput(data, size);
  return 0;
}
