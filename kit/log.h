// The debug log: printf-style formats plus %@ for text and objects, one
// line a message.
//
//   kit::log("Tile array is %d by %d", columns, rows);
//   kit::log("Group PropertyName is %@", name);
//
// Arguments are typed, so a mismatch between a conversion and its argument
// is converted (a double given to %d is truncated, an int given to %f is
// widened) instead of being undefined behaviour; a missing argument prints
// nothing, extra arguments are ignored.
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace kit {

// One argument of a log format.
class LogArg {
 public:
  using Value = std::variant<long long, unsigned long long, double, std::string, const void*>;

  template <std::integral T>
  requires(!std::same_as<T, bool>) LogArg(T v) {
    if constexpr (std::is_signed_v<T>)
      value_ = static_cast<long long>(v);
    else
      value_ = static_cast<unsigned long long>(v);
  }
  LogArg(bool v) : value_(static_cast<long long>(v)) {}
  LogArg(float v) : value_(static_cast<double>(v)) {}
  LogArg(double v) : value_(v) {}
  LogArg(const char* s) : value_(std::string(s ? s : "(null)")) {}
  LogArg(std::string s) : value_(std::move(s)) {}
  LogArg(std::string_view s) : value_(std::string(s)) {}
  LogArg(const void* p) : value_(p) {}
  // Any object with a description() prints that for %@.
  template <typename T>
  requires requires(const T& t) {
    { t.description() } -> std::convertible_to<std::string>;
  }
  LogArg(const T& object) : value_(std::string(object.description())) {}

  const Value& value() const { return value_; }

 private:
  Value value_;
};

// Formats one message. Supports the printf conversions d i u x X o c s f F
// e E g G a A p and %% with flags, width, precision (also *) and length
// modifiers (which are accepted and ignored), plus %@ (text as is).
std::string formatLog(std::string_view format, std::initializer_list<LogArg> args);

// Where messages go. The default sink writes each message and a newline to
// standard error.
using LogSink = std::function<void(const std::string& message)>;
void setLogSink(LogSink sink);  // an empty sink restores the default
void writeLog(const std::string& message);

template <typename... Args>
void log(std::string_view format, const Args&... args) {
  writeLog(formatLog(format, {LogArg(args)...}));
}

// Collects messages for the lifetime of the object (tests), restoring the
// previous sink afterwards.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  const std::vector<std::string>& lines() const { return lines_; }
  void clear() { lines_.clear(); }

 private:
  std::vector<std::string> lines_;
  LogSink previous_;
};

}  // namespace kit
