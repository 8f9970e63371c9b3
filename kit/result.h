// The outcome of an operation that can fail: its value, or an Error saying
// why there is none.
//
//   Result<std::vector<std::uint8_t>> bytes = readWholeFile(path);
//   if (!bytes) return Error{"cannot load the sound: " + bytes.error().message};
//   use(*bytes);
//
// A Result is built from either a value or an Error, so a function returns
// whichever it has. Reading the value of a failed Result (or the error of a
// successful one) is a programming mistake and throws
// std::bad_variant_access rather than answering garbage.
#pragma once

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace kit {

// Why an operation failed, in words fit for the log or the user: complete
// enough to stand alone ("cannot open /x/y.png: No such file or
// directory"), with no trailing newline.
struct Error {
  std::string message;
};

template <typename T>
class [[nodiscard]] Result {
 public:
  // From anything that converts to T (a shared_ptr<Image> for a
  // Result<shared_ptr<const Image>>, a string literal for a string).
  template <typename U = T>
  requires(std::is_convertible_v<U&&, T> && !std::is_same_v<std::remove_cvref_t<U>, Error> &&
           !std::is_same_v<std::remove_cvref_t<U>, Result>) Result(U&& value)
      : state_(std::in_place_index<0>, std::forward<U>(value)) {}
  Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  // The value, or fallback when there is none.
  T valueOr(T fallback) const& { return ok() ? value() : std::move(fallback); }

  const Error& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, Error> state_;
};

// Success with nothing to answer, or an Error. Default-built, it is success.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::move(error)), failed_(true) {}

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }

  const Error& error() const {
    if (!failed_) throw std::bad_variant_access();
    return error_;
  }

 private:
  Error error_;
  bool failed_ = false;
};

}  // namespace kit
