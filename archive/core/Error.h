// Errors of the archive library. Every failure is raised as an exception that
// carries its message text in a small fixed buffer: the library is linked into
// a DLL that must stay small, so no std::string and no printf-family code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

namespace bzip2arc {

// Text in a caller-provided buffer of fixed capacity, cut silently at the
// capacity (messages and paths built from pieces). Always zero-terminated.
// Not a template, so the DLL carries its code once.
class TextBuffer {
 public:
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  TextBuffer& Append(std::string_view text);
  // Numbers in decimal. 32-bit only: the DLL has no use for 64-bit division.
  TextBuffer& Append(std::int32_t value);
  TextBuffer& Append(std::uint32_t value);
  TextBuffer& Append(char c) { return Append(std::string_view(&c, 1)); }
  TextBuffer& Append(const char* text) { return Append(std::string_view(text)); }
  // Text from an archive for a message: control characters become '?'.
  TextBuffer& AppendPrintable(std::string_view text);

  void Clear();

  const char* c_str() const { return text_; }
  std::string_view View() const { return std::string_view(text_, length_); }
  std::size_t Length() const { return length_; }
  // True once an Append did not fit.
  bool Truncated() const { return truncated_; }

 protected:
  TextBuffer(char* storage, std::size_t capacity) : text_(storage), capacity_(capacity) { text_[0] = '\0'; }
  ~TextBuffer() = default;

 private:
  char* text_;
  std::size_t capacity_;
  std::size_t length_ = 0;
  bool truncated_ = false;
};

template <std::size_t Capacity>
class FixedText : public TextBuffer {
 public:
  FixedText() : TextBuffer(storage_, Capacity) {}
  explicit FixedText(std::string_view text) : FixedText() { Append(text); }
  FixedText(const FixedText& other) : FixedText() { Append(other.View()); }
  FixedText& operator=(const FixedText& other) {
    if (this != &other) {
      Clear();
      Append(other.View());
    }
    return *this;
  }

 private:
  char storage_[Capacity];
};

using MessageText = FixedText<512>;

// The general error: every failure of the library is one of these.
class Exception : public std::exception {
 public:
  explicit Exception(std::string_view message) : message_(message) {}
  explicit Exception(const TextBuffer& message) : message_(message.View()) {}

  const char* what() const noexcept override { return message_.c_str(); }
  const char* Message() const noexcept { return message_.c_str(); }

 private:
  MessageText message_;
};

// Errors of the file layer (creating, seeking, writing files), and the two
// that callers tell apart: a file that cannot be opened, and a read that
// brings fewer bytes than it must.
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// Failures of the archive format and of extraction ("Could not open archive
// file!", "CRC Error", ...).
class EArchiveError : public Exception {
 public:
  using Exception::Exception;
};

// Raises EArchiveError with `before`, the archive's `name` (control
// characters shown as '?') and `after`.
[[noreturn]] void RaiseNamed(const char* before, std::string_view name, const char* after);

}  // namespace bzip2arc
