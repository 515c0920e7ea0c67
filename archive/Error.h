// Errors of the archive library. Every failure is raised as an exception that
// carries its message text in a small fixed buffer: the library is linked into
// a DLL that must stay small, so no std::string and no printf-family code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

namespace bzip2arc {

// Fixed-capacity text, cut silently at its capacity (messages and paths built
// from pieces). Always zero-terminated.
template <std::size_t Capacity>
class FixedText {
 public:
  FixedText() = default;
  explicit FixedText(std::string_view text) { Append(text); }

  FixedText& Append(std::string_view text) {
    for (char c : text) {
      if (length_ + 1 >= Capacity) {
        truncated_ = true;
        break;
      }
      text_[length_++] = c;
    }
    text_[length_] = '\0';
    return *this;
  }

  FixedText& Append(std::int64_t value) {
    char digits[24];
    std::size_t count = 0;
    const bool negative = value < 0;
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
      digits[count++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (negative) digits[count++] = '-';
    char ordered[24];
    for (std::size_t i = 0; i < count; ++i) ordered[i] = digits[count - 1 - i];
    return Append(std::string_view(ordered, count));
  }
  FixedText& Append(int value) { return Append(static_cast<std::int64_t>(value)); }
  FixedText& Append(unsigned value) { return Append(static_cast<std::int64_t>(value)); }
  FixedText& Append(char c) { return Append(std::string_view(&c, 1)); }
  FixedText& Append(const char* text) { return Append(std::string_view(text)); }

  void Clear() {
    length_ = 0;
    truncated_ = false;
    text_[0] = '\0';
  }
  // Drops everything from position `length` on.
  void Cut(std::size_t length) {
    if (length < length_) {
      length_ = length;
      text_[length_] = '\0';
    }
  }

  const char* c_str() const { return text_; }
  std::string_view View() const { return std::string_view(text_, length_); }
  std::size_t Length() const { return length_; }
  bool Empty() const { return length_ == 0; }
  // True once an Append did not fit.
  bool Truncated() const { return truncated_; }
  static constexpr std::size_t MaxLength() { return Capacity - 1; }

 private:
  char text_[Capacity] = {};
  std::size_t length_ = 0;
  bool truncated_ = false;
};

using MessageText = FixedText<512>;

// The general error: every failure of the library is one of these.
class Exception : public std::exception {
 public:
  explicit Exception(std::string_view message) : message_(message) {}
  template <std::size_t N>
  explicit Exception(const FixedText<N>& message) : message_(message.View()) {}

  const char* what() const noexcept override { return message_.c_str(); }
  const char* Message() const noexcept { return message_.c_str(); }

 private:
  MessageText message_;
};

// Errors of the file layer (opening, creating, reading, writing files).
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// Failures of the archive format and of extraction ("Could not open archive
// file!", "CRC Error", ...).
class EArchiveError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace bzip2arc
