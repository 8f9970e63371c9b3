#include "hosts/desktop/file_text.h"

#include <fstream>

namespace desktop {

std::optional<std::string> readFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text;
  char buffer[1 << 16];
  // read() turns a failed read into badbit; a stream copy would hide it.
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) text.append(buffer, static_cast<std::size_t>(in.gcount()));
  if (in.bad()) return std::nullopt;
  return text;
}

}  // namespace desktop
