#include "Arguments.h"

#include <cctype>
#include <iterator>

#include "CodePage.h"
#include "archive/core/DirectoryKey.h"

namespace arcset {

namespace {

struct OptionSpec {
  const char* Name;  // "--key", "-j"
  bool TakesValue;
};

struct Option {
  std::string Name;
  std::string Value;
};

struct Scanned {
  bool Help = false;
  std::vector<Option> Options;
  std::vector<std::string> Operands;
};

const OptionSpec* Find(const std::vector<OptionSpec>& specs, const std::string& name) {
  for (const OptionSpec& spec : specs) {
    if (name == spec.Name) return &spec;
  }
  return nullptr;
}

// Options may stand anywhere among the operands until "--". Values follow
// as the next argument, after "=" for long options, or glued to "-j".
Scanned Scan(const std::vector<std::string>& arguments, const std::string& command,
             const std::vector<OptionSpec>& specs) {
  Scanned scanned;
  bool operandsOnly = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (operandsOnly || argument.size() < 2 || argument[0] != '-') {
      scanned.Operands.push_back(argument);
      continue;
    }
    if (argument == "--") {
      operandsOnly = true;
      continue;
    }
    if (argument == "--help" || argument == "-h") {
      scanned.Help = true;
      continue;
    }
    std::string name = argument;
    std::string value;
    bool hasValue = false;
    if (argument.rfind("--", 0) == 0) {
      const std::size_t equals = argument.find('=');
      if (equals != std::string::npos) {
        name = argument.substr(0, equals);
        value = argument.substr(equals + 1);
        hasValue = true;
      }
    } else if (argument.size() > 2) {
      name = argument.substr(0, 2);
      value = argument.substr(2);
      hasValue = true;
    }
    const OptionSpec* spec = Find(specs, name);
    if (spec == nullptr) throw UsageError("unknown option '" + name + "'", command);
    if (spec->TakesValue && !hasValue) {
      if (i + 1 >= arguments.size()) throw UsageError("option '" + name + "' needs a value", command);
      value = arguments[++i];
    } else if (!spec->TakesValue && hasValue) {
      throw UsageError("option '" + name + "' takes no value", command);
    }
    scanned.Options.push_back({name, value});
  }
  return scanned;
}

void ExpectOperands(const Scanned& scanned, std::size_t count, const char* names, const std::string& command) {
  if (scanned.Operands.size() < count) throw UsageError(std::string("missing operand: ") + names, command);
  if (scanned.Operands.size() > count)
    throw UsageError("unexpected operand '" + scanned.Operands[count] + "'", command);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Value parsers: they throw UsageError naming `option`.
std::string ParseHexKey(const std::string& text, const std::string& option, const std::string& command) {
  if (text.empty() || text.size() % 2 != 0)
    throw UsageError(option + " takes an even number of hex digits, got '" + text + "'", command);
  std::string key;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) throw UsageError(option + " takes hex digits only, got '" + text + "'", command);
    // The library takes the key as zero-terminated text.
    if (high == 0 && low == 0) throw UsageError(option + ": the key cannot hold a 00 byte", command);
    key.push_back(static_cast<char>(high * 16 + low));
  }
  if (key.size() > 56) throw UsageError(option + ": the key must be 1 to 56 bytes long", command);
  return key;
}

std::int64_t ParseSize(const std::string& text, const std::string& option, const std::string& command) {
  std::size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
  const std::string suffix = text.substr(digits);
  std::int64_t unit = 1;
  if (suffix == "K" || suffix == "k") unit = std::int64_t{1} << 10;
  else if (suffix == "M" || suffix == "m") unit = std::int64_t{1} << 20;
  else if (suffix == "G" || suffix == "g") unit = std::int64_t{1} << 30;
  else if (!suffix.empty()) digits = 0;
  if (digits == 0 || digits > 10)
    throw UsageError(option + " takes a byte count with an optional K, M or G, got '" + text + "'", command);
  const std::int64_t value = std::stoll(text.substr(0, digits)) * unit;
  if (value <= 0 || value > INT32_MAX)
    throw UsageError(option + " must lie between 1 and 2147483647 bytes, got '" + text + "'", command);
  return value;
}

unsigned ParseThreads(const std::string& text, const std::string& option, const std::string& command) {
  const bool allDigits = !text.empty() && text.size() <= 4 &&
                         text.find_first_not_of("0123456789") == std::string::npos;
  const int value = allDigits ? std::stoi(text) : 0;
  if (value < 1 || value > 256) throw UsageError(option + " takes a thread count from 1 to 256, got '" + text + "'", command);
  return static_cast<unsigned>(value);
}

int ParseCodePage(const std::string& text, const std::string& option, const std::string& command) {
  const bool allDigits = !text.empty() && text.size() <= 4 &&
                         text.find_first_not_of("0123456789") == std::string::npos;
  if (!allDigits || CodePage::Find(std::stoi(text)) == nullptr)
    throw UsageError(option + " takes 1250, 1251, 1252, 437 or 850, got '" + text + "'", command);
  return std::stoi(text);
}

PatchRequest ParsePatch(const std::string& text, const std::string& command) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0)
    throw UsageError("--patch takes NAME=OLD:NEW, got '" + text + "'", command);
  const std::string files = text.substr(equals + 1);
  std::size_t colon = files.find(':');
#ifdef _WIN32
  // "C:\old:D:\new": a colon right after a leading drive letter is part of OLD.
  if (colon == 1 && std::isalpha(static_cast<unsigned char>(files[0]))) colon = files.find(':', 2);
#endif
  if (colon == std::string::npos || colon == 0 || colon + 1 == files.size())
    throw UsageError("--patch takes NAME=OLD:NEW, got '" + text + "'", command);
  PatchRequest patch;
  patch.Name = text.substr(0, equals);
  patch.Old = files.substr(0, colon);
  patch.New = files.substr(colon + 1);
  return patch;
}

CreateRequest ParseCreate(const Scanned& scanned) {
  const std::string command = "create";
  CreateRequest request;
  bool hasFirstVolumeSize = false;
  for (const Option& option : scanned.Options) {
    if (option.Name == "--plain") {
      request.Plain = true;
    } else if (option.Name == "--key") {
      request.Key = ParseHexKey(option.Value, option.Name, command);
      request.HasKey = true;
    } else if (option.Name == "--volume-size") {
      request.VolumeSize = ParseSize(option.Value, option.Name, command);
    } else if (option.Name == "--first-volume-size") {
      request.FirstVolumeSize = ParseSize(option.Value, option.Name, command);
      hasFirstVolumeSize = true;
    } else if (option.Name == "--patch") {
      request.Patches.push_back(ParsePatch(option.Value, command));
    } else if (option.Name == "--codepage") {
      request.CodePage = ParseCodePage(option.Value, option.Name, command);
    } else {
      request.Threads = ParseThreads(option.Value, option.Name, command);
    }
  }
  if (request.Plain && request.HasKey) throw UsageError("--plain and --key exclude each other", command);
  if (hasFirstVolumeSize && request.VolumeSize == 0)
    throw UsageError("--first-volume-size needs --volume-size", command);
  if (scanned.Operands.empty()) throw UsageError("missing operand: OUTDIR", command);
  if (scanned.Operands.size() < 2) throw UsageError("missing operand: INPUT", command);
  request.OutputFolder = scanned.Operands[0];
  request.Inputs.assign(std::next(scanned.Operands.begin()), scanned.Operands.end());
  return request;
}

std::string KeyOf(const Scanned& scanned, const std::string& command) {
  std::string key = DefaultKey();
  for (const Option& option : scanned.Options) {
    if (option.Name == "--key") key = ParseHexKey(option.Value, option.Name, command);
  }
  return key;
}

// -j N or --jobs N, the last one given; 1 without.
unsigned ThreadsOf(const Scanned& scanned, const std::string& command) {
  unsigned threads = 1;
  for (const Option& option : scanned.Options) {
    if (option.Name == "-j" || option.Name == "--jobs") threads = ParseThreads(option.Value, option.Name, command);
  }
  return threads;
}

}  // namespace

std::string DefaultKey() { return bzip2arc::kDirectoryKey; }

Invocation ParseArguments(const std::vector<std::string>& arguments) {
  if (arguments.empty()) throw UsageError("missing command", "");
  const std::string& command = arguments[0];
  if (command == "--help" || command == "-h") return HelpRequest{};
  if (command == "--version") return VersionRequest{};
  if (command == "help") {
    if (arguments.size() > 2) throw UsageError("help takes at most one command name", "");
    if (arguments.size() == 1) return HelpRequest{};
    const std::string& topic = arguments[1];
    if (topic != "create" && topic != "list" && topic != "verify" && topic != "extract")
      throw UsageError("unknown command '" + topic + "'", "");
    return HelpRequest{topic};
  }

  if (command == "create") {
    const Scanned scanned = Scan(arguments, command,
                                 {{"--key", true}, {"--plain", false}, {"--volume-size", true},
                                  {"--first-volume-size", true}, {"--patch", true}, {"-j", true}, {"--jobs", true},
                                  {"--codepage", true}});
    if (scanned.Help) return HelpRequest{command};
    return ParseCreate(scanned);
  }
  if (command == "list") {
    const Scanned scanned = Scan(arguments, command, {{"--key", true}, {"--json", false}, {"--codepage", true}});
    if (scanned.Help) return HelpRequest{command};
    ListRequest request;
    request.Key = KeyOf(scanned, command);
    for (const Option& option : scanned.Options) {
      request.Json = request.Json || option.Name == "--json";
      if (option.Name == "--codepage") request.CodePage = ParseCodePage(option.Value, option.Name, command);
    }
    ExpectOperands(scanned, 1, "VOLUMES", command);
    request.Volumes = scanned.Operands[0];
    return request;
  }
  if (command == "verify") {
    const Scanned scanned = Scan(arguments, command, {{"--key", true}, {"-j", true}, {"--jobs", true}});
    if (scanned.Help) return HelpRequest{command};
    VerifyRequest request;
    request.Key = KeyOf(scanned, command);
    request.Threads = ThreadsOf(scanned, command);
    ExpectOperands(scanned, 1, "VOLUMES", command);
    request.Volumes = scanned.Operands[0];
    return request;
  }
  if (command == "extract") {
    const Scanned scanned =
        Scan(arguments, command, {{"--key", true}, {"-j", true}, {"--jobs", true}, {"--codepage", true}});
    if (scanned.Help) return HelpRequest{command};
    ExtractRequest request;
    request.Key = KeyOf(scanned, command);
    request.Threads = ThreadsOf(scanned, command);
    for (const Option& option : scanned.Options) {
      if (option.Name == "--codepage") request.CodePage = ParseCodePage(option.Value, option.Name, command);
    }
    ExpectOperands(scanned, 2, "VOLUMES DEST", command);
    request.Volumes = scanned.Operands[0];
    request.Destination = scanned.Operands[1];
    return request;
  }
  throw UsageError("unknown command '" + command + "'", "");
}

}  // namespace arcset
