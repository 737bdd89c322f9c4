#pragma once
// Error values: a message and an optional cause. They are moved, never copied, passed up
// unchanged or wrapped once in a short context ("--batch", "start ffmpeg").

#include <expected>
#include <memory>
#include <string>
#include <utility>

namespace tw {

class Error {
 public:
  explicit Error(std::string message) : message_(std::move(message)) {}
  Error(std::string context, Error cause)
      : message_(std::move(context)), cause_(std::make_unique<Error>(std::move(cause))) {}

  Error(Error&&) noexcept = default;
  Error& operator=(Error&&) noexcept = default;
  Error(const Error&) = delete;
  Error& operator=(const Error&) = delete;

  const std::string& message() const { return message_; }
  const Error* cause() const { return cause_.get(); }

  // The whole chain on one line: the messages joined by ": ".
  std::string chain() const {
    std::string line = message_;
    for (const Error* e = cause(); e != nullptr; e = e->cause()) {
      line += ": ";
      line += e->message();
    }
    return line;
  }

 private:
  std::string message_;
  std::unique_ptr<Error> cause_;
};

template <class T>
using Result = std::expected<T, Error>;
using Status = std::expected<void, Error>;

inline std::unexpected<Error> fail(std::string message) {
  return std::unexpected<Error>(Error(std::move(message)));
}
inline std::unexpected<Error> fail(Error error) { return std::unexpected<Error>(std::move(error)); }
inline std::unexpected<Error> fail(std::string context, Error cause) {
  return std::unexpected<Error>(Error(std::move(context), std::move(cause)));
}

}  // namespace tw
