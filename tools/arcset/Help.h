// The texts of --help and --version.
#pragma once

#include <string>

namespace arcset {

// `command` empty: the general help.
std::string HelpText(const std::string& command);
std::string VersionText();

}  // namespace arcset
