#pragma once
// Exceptions of the player. Messages are code-page-932 bytes, shown to the user as they stand.

#include <stdexcept>
#include <string>

namespace qubo {

// Base of every failure the player raises on purpose.
class QuboError : public std::runtime_error {
 public:
  explicit QuboError(const std::string& message) : std::runtime_error(message) {}
};

// A stored record or file that cannot be what it claims to be (truncated, impossible counts,
// unknown codes).
class FormatError : public QuboError {
 public:
  explicit FormatError(const std::string& message) : QuboError(message) {}
};

// A stream that cannot deliver or take the bytes asked of it.
class StreamError : public QuboError {
 public:
  explicit StreamError(const std::string& message) : QuboError(message) {}
};

inline constexpr const char* kStreamReadError = "Stream read error";
inline constexpr const char* kStreamWriteError = "Stream write error";

}  // namespace qubo
