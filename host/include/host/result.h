// What the fallible steps of the host, its tools and the printer application
// answer: a value, or the message that says what went wrong, in words a user
// can act on. Shaped like std::expected, which the compilers we build with do
// not all have yet.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace kav {

// A failed step's message; a function answering Result<T> returns it as it
// returns a value.
struct Error {
  std::string message;
};

template <class T = void>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Error error) : state_(std::in_place_index<1>, std::move(error.message)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  const std::string& error() const { return std::get<1>(state_); }
  // The failure again, for answering it from a step of another result type.
  Error failure() const { return {error()}; }

 private:
  std::variant<T, std::string> state_;
};

// A step that answers no value: success, or its failure's message.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::move(error.message)), failed_(true) {}

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& error() const { return error_; }
  Error failure() const { return {error_}; }

 private:
  std::string error_;
  bool failed_ = false;
};

using Status = Result<void>;

// The failure with `context` (the file or the call it concerns) put before
// its message, as "page.json: line 3, ...".
template <class T>
Result<T> WithContext(Result<T> result, const std::string& context) {
  if (result) return result;
  return Error{context + ": " + result.error()};
}

}  // namespace kav
