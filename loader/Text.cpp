#include "Text.h"

#include <cstring>

bool CopyText(char* buffer, std::size_t capacity, const char* text) {
  if (capacity == 0) return false;
  buffer[0] = '\0';
  return AppendText(buffer, capacity, text);
}

bool JoinText(char* buffer, std::size_t capacity, const char* first, const char* second) {
  return CopyText(buffer, capacity, first) && AppendText(buffer, capacity, second);
}

bool AppendText(char* buffer, std::size_t capacity, const char* text) {
  return AppendChars(buffer, capacity, text, std::strlen(text));
}

bool AppendChars(char* buffer, std::size_t capacity, const char* text, std::size_t length) {
  const std::size_t used = std::strlen(buffer);
  if (length >= capacity - used) return false;
  std::memcpy(buffer + used, text, length);
  buffer[used + length] = '\0';
  return true;
}

bool AppendDecimal(char* buffer, std::size_t capacity, unsigned value) {
  char digits[12];
  char* first = digits + sizeof digits - 1;
  *first = '\0';
  do {
    *--first = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return AppendText(buffer, capacity, first);
}
