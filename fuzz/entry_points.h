// What each fuzz target does with one input. The fuzzers and the regression
// test that replays their findings share these, so a committed crash input
// goes through exactly the code that found it.
//
// Each returns normally for any input: an input the code rejects is an
// error it reports (the exception it documents, or a failed result), and
// anything else escaping — another exception, a sanitizer report, a crash —
// is a finding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzzing {

// headless::parseScenario on the bytes as a scenario file.
void scenarioInput(const std::uint8_t* data, std::size_t size);

// kit::InterfaceLoader::loadString on the bytes, with the outlets, actions
// and classes the application's own interface files use.
void interfaceInput(const std::uint8_t* data, std::size_t size);

// kit::decodeImage on the bytes. The first byte (when there are more) picks
// the decode options — display-sized decoding, applying the orientation to
// the pixels — so every path sees every picture; a picture that decodes is
// checked for consistency and encoded again as PNG.
void imageInput(const std::uint8_t* data, std::size_t size);

}  // namespace fuzzing
