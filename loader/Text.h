// 8-bit text in fixed buffers. Every function keeps the buffer
// zero-terminated and refuses, rather than cuts, what does not fit: a cut
// path would name a different file.
#pragma once

#include <cstddef>

// Replaces the buffer's text by `text`; false (buffer emptied) if it does not fit.
bool CopyText(char* buffer, std::size_t capacity, const char* text);

// `first` followed by `second`; same rule as CopyText.
bool JoinText(char* buffer, std::size_t capacity, const char* first, const char* second);

// Appends `text`; false (buffer unchanged) if the whole of it does not fit.
bool AppendText(char* buffer, std::size_t capacity, const char* text);

// Appends the first `length` characters of `text`; same rule.
bool AppendChars(char* buffer, std::size_t capacity, const char* text, std::size_t length);

// Appends `value` in decimal without leading zeros; same rule.
bool AppendDecimal(char* buffer, std::size_t capacity, unsigned value);
