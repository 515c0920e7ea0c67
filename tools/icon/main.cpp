// seticon: writes the loader's icon (32 x 32 and 16 x 16, 16 colours) as an
// .ico file. The loader's build compiles it with one command for the build
// host, so it uses the standard library only.
#include <cstdio>
#include <exception>
#include <fstream>

#include "SetupIcon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Usage: seticon OUTPUT.ico\nWrites the setup loader's icon.\n", stderr);
    return 2;
  }
  try {
    const auto bytes = icon::EncodeIcon({icon::DrawSetupIcon(32), icon::DrawSetupIcon(16)});
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::fprintf(stderr, "seticon: cannot write %s\n", argv[1]);
      std::remove(argv[1]);
      return 1;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "seticon: %s\n", error.what());
    return 1;
  }
  return 0;
}
