#include "kit/log.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>

namespace kit {

namespace {

// Widths and precisions beyond this are caller mistakes (or a garbage *
// argument); capping keeps one conversion from allocating without bound.
constexpr long long kMaxFieldSize = 4096;

struct Field {
  bool left = false, plus = false, space = false, alt = false, zero = false;
  int width = 0;       // 0: none
  int precision = -1;  // -1: none
  char conversion = 0;
};

long long clampField(long long v) { return v > kMaxFieldSize ? kMaxFieldSize : v; }

// Saturating double -> integer conversions: a plain cast of NaN or an
// out-of-range value is undefined behaviour.
long long toSigned(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 9223372036854775808.0) return LLONG_MAX;
  if (d < -9223372036854775808.0) return LLONG_MIN;
  return static_cast<long long>(d);
}

unsigned long long toUnsigned(double d) {
  if (std::isnan(d)) return 0;
  // A negative value keeps the meaning an integer argument of that value has.
  if (d < 0) return static_cast<unsigned long long>(toSigned(d));
  if (d >= 18446744073709551616.0) return ULLONG_MAX;
  return static_cast<unsigned long long>(d);
}

template <typename T>
std::string printOne(const std::string& format, T value) {
  const int n = std::snprintf(nullptr, 0, format.c_str(), value);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  std::snprintf(out.data(), out.size() + 1, format.c_str(), value);
  return out;
}

// Builds a printf directive holding only the flags C defines for the
// conversion; the others are undefined behaviour (e.g. '#' with %d).
std::string directive(const Field& s, char conversion, const char* length) {
  const bool floating = std::string_view("fFeEgGaA").find(conversion) != std::string_view::npos;
  const bool integer = std::string_view("diouxX").find(conversion) != std::string_view::npos;
  const bool signedConv = floating || conversion == 'd' || conversion == 'i';
  std::string f = "%";
  if (s.left) f += '-';
  if (s.plus && signedConv) f += '+';
  if (s.space && signedConv) f += ' ';
  if (s.alt && (floating || conversion == 'o' || conversion == 'x' || conversion == 'X')) f += '#';
  if (s.zero && (floating || integer)) f += '0';
  if (s.width > 0) f += std::to_string(s.width);
  if (s.precision >= 0 && (floating || integer)) f += '.' + std::to_string(s.precision);
  f += length;
  f += conversion;
  return f;
}

std::string pad(std::string text, const Field& s) {
  if (static_cast<int>(text.size()) >= s.width) return text;
  const std::size_t fill = static_cast<std::size_t>(s.width) - text.size();
  if (s.left)
    text.append(fill, ' ');
  else
    text.insert(0, fill, ' ');
  return text;
}

// Precision on text counts bytes as printf does, but never splits a UTF-8
// sequence: a half character would corrupt the rest of the line.
std::string truncateText(const std::string& text, int precision) {
  if (precision < 0 || static_cast<std::size_t>(precision) >= text.size()) return text;
  std::size_t end = static_cast<std::size_t>(precision);
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// %c takes a code point so that non-ASCII characters stay valid UTF-8.
std::string encodeCharacter(unsigned long long c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000 && !(c >= 0xD800 && c <= 0xDFFF)) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c >= 0x10000 && c <= 0x10FFFF) {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out = "\xEF\xBF\xBD";  // U+FFFD for surrogates and values beyond Unicode
  }
  return out;
}

bool isIntegerConversion(char c) {
  return std::string_view("diuxXo").find(c) != std::string_view::npos;
}
bool isFloatConversion(char c) {
  return std::string_view("fFeEgGaA").find(c) != std::string_view::npos;
}

std::string formatSigned(const Field& s, long long v) {
  const char c = s.conversion;
  if (c == 'd' || c == 'i') return printOne(directive(s, c, "ll"), v);
  if (isIntegerConversion(c))
    return printOne(directive(s, c, "ll"), static_cast<unsigned long long>(v));
  if (isFloatConversion(c)) return printOne(directive(s, c, ""), static_cast<double>(v));
  if (c == 'c') return pad(encodeCharacter(static_cast<unsigned long long>(v)), s);
  if (c == 'p')
    return printOne(directive(s, 'p', ""),
                    reinterpret_cast<const void*>(static_cast<std::uintptr_t>(v)));
  Field text = s;  // %s and %@: the number in decimal, padded like text
  text.precision = -1;
  return printOne(directive(text, 'd', "ll"), v);
}

std::string formatUnsigned(const Field& s, unsigned long long v) {
  const char c = s.conversion;
  if (c == 'd' || c == 'i') {
    if (v <= static_cast<unsigned long long>(LLONG_MAX))
      return formatSigned(s, static_cast<long long>(v));
    return printOne(directive(s, 'u', "ll"), v);
  }
  if (isIntegerConversion(c)) return printOne(directive(s, c, "ll"), v);
  if (isFloatConversion(c)) return printOne(directive(s, c, ""), static_cast<double>(v));
  if (c == 'c') return pad(encodeCharacter(v), s);
  if (c == 'p')
    return printOne(directive(s, 'p', ""),
                    reinterpret_cast<const void*>(static_cast<std::uintptr_t>(v)));
  Field text = s;
  text.precision = -1;
  return printOne(directive(text, 'u', "ll"), v);
}

std::string formatDouble(const Field& s, double v) {
  const char c = s.conversion;
  if (isFloatConversion(c)) return printOne(directive(s, c, ""), v);
  if (c == 'd' || c == 'i') return printOne(directive(s, c, "ll"), toSigned(v));
  if (isIntegerConversion(c)) return printOne(directive(s, c, "ll"), toUnsigned(v));
  if (c == 'c') return pad(encodeCharacter(toUnsigned(v)), s);
  Field general = s;  // %s, %@ and %p: the number as %g would print it
  general.precision = -1;
  return printOne(directive(general, 'g', ""), v);
}

std::string formatPointer(const Field& s, const void* p) {
  if (isIntegerConversion(s.conversion))
    return formatUnsigned(s, static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(p)));
  return printOne(directive(s, 'p', ""), p);
}

std::string formatText(const Field& s, const std::string& text) {
  // Only %s truncates; any other conversion given text prints it whole.
  return pad(s.conversion == 's' ? truncateText(text, s.precision) : text, s);
}

std::string formatArg(const Field& s, const LogArg& arg) {
  return std::visit(
      [&s](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, long long>)
          return formatSigned(s, v);
        else if constexpr (std::is_same_v<T, unsigned long long>)
          return formatUnsigned(s, v);
        else if constexpr (std::is_same_v<T, double>)
          return formatDouble(s, v);
        else if constexpr (std::is_same_v<T, std::string>)
          return formatText(s, v);
        else
          return formatPointer(s, v);
      },
      arg.value());
}

// False when the * argument is missing or is not a number; the field then
// behaves as if no width or precision were given.
bool starValue(const LogArg* arg, long long& out) {
  if (!arg) return false;
  const auto& v = arg->value();
  if (const auto* i = std::get_if<long long>(&v)) {
    out = *i;
  } else if (const auto* u = std::get_if<unsigned long long>(&v)) {
    out = *u > static_cast<unsigned long long>(LLONG_MAX) ? LLONG_MAX : static_cast<long long>(*u);
  } else if (const auto* d = std::get_if<double>(&v)) {
    out = toSigned(*d);
  } else {
    return false;
  }
  return true;
}

bool isLengthModifier(char c) {
  return std::string_view("hlqzjtL").find(c) != std::string_view::npos;
}

bool isConversion(char c) {
  return std::string_view("diuxXocsfFeEgGaAp@").find(c) != std::string_view::npos;
}

}  // namespace

std::string formatLog(std::string_view format, std::initializer_list<LogArg> args) {
  std::string out;
  out.reserve(format.size() + 16 * args.size());
  const LogArg* next = args.begin();
  auto take = [&]() -> const LogArg* { return next != args.end() ? next++ : nullptr; };

  std::size_t i = 0;
  const std::size_t n = format.size();
  while (i < n) {
    const std::size_t percent = format.find('%', i);
    if (percent == std::string_view::npos) {
      out.append(format.substr(i));
      break;
    }
    out.append(format.substr(i, percent - i));
    std::size_t j = percent + 1;
    const LogArg* const argsAtStart = next;
    Field s;

    for (; j < n; ++j) {
      const char c = format[j];
      if (c == '-')
        s.left = true;
      else if (c == '+')
        s.plus = true;
      else if (c == ' ')
        s.space = true;
      else if (c == '#')
        s.alt = true;
      else if (c == '0')
        s.zero = true;
      else
        break;
    }

    if (j < n && format[j] == '*') {
      ++j;
      long long w = 0;
      if (starValue(take(), w)) {
        // A negative * width means left-justify, as in printf.
        if (w < 0) {
          s.left = true;
          w = w == LLONG_MIN ? LLONG_MAX : -w;
        }
        s.width = static_cast<int>(clampField(w));
      }
    } else {
      long long w = 0;
      for (; j < n && format[j] >= '0' && format[j] <= '9'; ++j)
        w = clampField(w * 10 + (format[j] - '0'));
      s.width = static_cast<int>(w);
    }

    if (j < n && format[j] == '.') {
      ++j;
      long long p = 0;
      if (j < n && format[j] == '*') {
        ++j;
        // A negative or unusable * precision counts as no precision.
        if (!starValue(take(), p) || p < 0) p = -1;
      } else {
        for (; j < n && format[j] >= '0' && format[j] <= '9'; ++j)
          p = clampField(p * 10 + (format[j] - '0'));
      }
      s.precision = p < 0 ? -1 : static_cast<int>(clampField(p));
    }

    while (j < n && isLengthModifier(format[j])) ++j;

    if (j >= n) {
      // An unfinished directive at the end is text, not a conversion.
      out.append(format.substr(percent));
      next = argsAtStart;
      break;
    }

    const char c = format[j];
    i = j + 1;
    if (c == '%') {
      out += '%';
      next = argsAtStart;
    } else if (!isConversion(c)) {
      out.append(format.substr(percent, i - percent));
      next = argsAtStart;
    } else {
      s.conversion = c;
      if (const LogArg* arg = take()) out += formatArg(s, *arg);
    }
  }
  return out;
}

// --- sink ---------------------------------------------------------------

namespace {

struct SinkState {
  std::mutex mutex;
  std::shared_ptr<const LogSink> sink;  // null: standard error
};

// A function-local static so that logging from another file's static
// initialiser finds the state constructed.
SinkState& sinkState() {
  static SinkState state;
  return state;
}

void writeToStandardError(const std::string& message) {
  // One write per line keeps lines from different threads whole.
  std::string line = message;
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// Sets the sink and returns the one it replaces, in one step so that two
// captures made at the same time cannot lose each other's sink.
LogSink exchangeLogSink(LogSink sink) {
  auto replacement = sink ? std::make_shared<const LogSink>(std::move(sink)) : nullptr;
  std::shared_ptr<const LogSink> previous;
  {
    std::lock_guard lock(sinkState().mutex);
    previous = std::exchange(sinkState().sink, std::move(replacement));
  }
  return previous ? *previous : LogSink();
}

// A sink that logs (directly or through something it calls) would otherwise
// recurse until the stack runs out.
constexpr int kMaxSinkDepth = 8;
thread_local int sinkDepth = 0;

}  // namespace

void setLogSink(LogSink sink) { exchangeLogSink(std::move(sink)); }

void writeLog(const std::string& message) {
  std::shared_ptr<const LogSink> sink;
  {
    std::lock_guard lock(sinkState().mutex);
    sink = sinkState().sink;
  }
  // The sink runs outside the lock: it may log or replace the sink itself,
  // and the copy keeps it alive even if another thread replaces it meanwhile.
  if (!sink || sinkDepth >= kMaxSinkDepth) {
    writeToStandardError(message);
    return;
  }
  ++sinkDepth;
  struct Leave {
    ~Leave() { --sinkDepth; }
  } leave;
  (*sink)(message);
}

LogCapture::LogCapture()
    : previous_(
          exchangeLogSink([this](const std::string& message) { lines_.push_back(message); })) {}

LogCapture::~LogCapture() { setLogSink(std::move(previous_)); }

}  // namespace kit
