#include "Error.h"

namespace bzip2arc {

TextBuffer& TextBuffer::Append(std::string_view text) {
  for (const char c : text) {
    if (length_ + 1 >= capacity_) {
      truncated_ = true;
      break;
    }
    text_[length_++] = c;
  }
  text_[length_] = '\0';
  return *this;
}

namespace {

// Writes the digits of `magnitude` to the end of `digits`; returns their count.
std::size_t Digits(std::uint32_t magnitude, char (&digits)[12]) {
  std::size_t count = 0;
  do {
    digits[sizeof digits - 1 - count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  return count;
}

}  // namespace

TextBuffer& TextBuffer::Append(std::uint32_t value) {
  char digits[12];
  const std::size_t count = Digits(value, digits);
  return Append(std::string_view(digits + sizeof digits - count, count));
}

TextBuffer& TextBuffer::Append(std::int32_t value) {
  char digits[12];
  std::size_t count = Digits(value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value), digits);
  if (value < 0) digits[sizeof digits - 1 - count++] = '-';
  return Append(std::string_view(digits + sizeof digits - count, count));
}

TextBuffer& TextBuffer::AppendPrintable(std::string_view text) {
  for (const char c : text) Append(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c);
  return *this;
}

void TextBuffer::Clear() {
  length_ = 0;
  truncated_ = false;
  text_[0] = '\0';
}

void RaiseNamed(const char* before, std::string_view name, const char* after) {
  MessageText message;
  message.Append(before).AppendPrintable(name).Append(after);
  throw EArchiveError(message);
}

}  // namespace bzip2arc
