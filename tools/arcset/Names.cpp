#include "Names.h"

#include <stdexcept>

#ifndef _WIN32
#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <memory>
#endif

namespace arcset {

namespace {

#ifndef _WIN32
// The locale's encoding of file names; a C or POSIX locale says ASCII, and
// its names are taken as UTF-8.
bool LocaleIsUtf8(const char* codeset) {
  const std::string_view name(codeset);
  return name == "UTF-8" || name == "utf8" || name == "ANSI_X3.4-1968" || name == "ASCII";
}

// `text` in the locale's encoding as UTF-8; nothing when it does not convert.
std::optional<std::string> LocaleToUtf8(const std::string& text) {
  const char* codeset = ::nl_langinfo(CODESET);
  if (LocaleIsUtf8(codeset)) return text;
  const iconv_t converter = ::iconv_open("UTF-8", codeset);
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  const std::unique_ptr<void, int (*)(iconv_t)> closer(converter, ::iconv_close);
  std::string in = text;
  std::string out(text.size() * 4 + 4, '\0');
  char* from = in.data();
  char* to = out.data();
  std::size_t fromLeft = in.size();
  std::size_t toLeft = out.size();
  if (::iconv(converter, &from, &fromLeft, &to, &toLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
  out.resize(out.size() - toLeft);
  return out;
}
#endif

}  // namespace

std::string Names::Stored(const std::string& fileName) const {
#ifdef _WIN32
  return fileName;
#else
  const std::optional<std::string> utf8 = LocaleToUtf8(fileName);
  const std::optional<std::string> stored = utf8 ? codePage_.FromUtf8(*utf8) : std::nullopt;
  if (!stored) {
    throw std::runtime_error("the name '" + fileName + "' has characters that code page " +
                             std::to_string(codePage_.Number()) + " cannot hold (choose another with --codepage)");
  }
  return *stored;
#endif
}

std::string Names::FileName(std::string_view stored) const {
#ifdef _WIN32
  return std::string(stored);
#else
  return codePage_.ToUtf8(stored);
#endif
}

std::string Names::Shown(std::string_view stored) const {
#ifdef _WIN32
  std::string shown;
  for (const char c : stored) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789abcdef";
      shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
    } else {
      shown += c;
    }
  }
  return shown;
#else
  return codePage_.ToUtf8(stored, true);
#endif
}

void Names::Append(std::string_view stored, bzip2arc::TextBuffer& path) const { path.Append(FileName(stored)); }

}  // namespace arcset
