#include "extraction/ExtractionFixture.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace extraction {

void SetTemporaryFolder(const char* folder) {
#ifdef _WIN32
  constexpr const char* kVariable = "TMP";  // what GetTempPathA looks at first
#else
  constexpr const char* kVariable = "TMPDIR";
#endif
  static const auto original =
      std::getenv(kVariable) ? std::optional<std::string>(std::getenv(kVariable)) : std::nullopt;
  const char* value = folder != nullptr ? folder : original ? original->c_str() : nullptr;
#ifdef _WIN32
  ::SetEnvironmentVariableA(kVariable, value);
#else
  value != nullptr ? ::setenv(kVariable, value, 1) : ::unsetenv(kVariable);
#endif
}

}  // namespace extraction
