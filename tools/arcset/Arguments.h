// The command line of arcset: which command, its options and operands.
// Parsing looks at no file; problems raise UsageError (exit status 2).
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace arcset {

class UsageError : public std::runtime_error {
 public:
  UsageError(const std::string& message, std::string command)
      : std::runtime_error(message), command_(std::move(command)) {}
  // The command whose help the hint points to; empty: the general help.
  const std::string& Command() const { return command_; }

 private:
  std::string command_;
};

struct HelpRequest {
  std::string Command;  // empty: the general help
};

struct VersionRequest {};

// --patch NAME=OLD:NEW
struct PatchRequest {
  std::string Name;
  std::filesystem::path Old;
  std::filesystem::path New;
};

// The Windows code page of a set's names (--codepage).
constexpr int kDefaultCodePage = 1252;

struct CreateRequest {
  int CodePage = kDefaultCodePage;
  bool Plain = false;
  bool HasKey = false;
  std::string Key;  // directory key bytes, when HasKey
  std::int64_t VolumeSize = 0;       // 0: one volume
  std::int64_t FirstVolumeSize = 0;  // 0: VolumeSize
  std::vector<PatchRequest> Patches;
  unsigned Threads = 0;  // 0: one per core
  std::filesystem::path OutputFolder;
  std::vector<std::filesystem::path> Inputs;
};

struct ListRequest {
  int CodePage = kDefaultCodePage;
  std::string Key;
  bool Json = false;
  std::string Volumes;
};

struct VerifyRequest {
  std::string Key;
  unsigned Threads = 1;  // 1: the library's one-thread decoder
  std::string Volumes;
};

struct ExtractRequest {
  int CodePage = kDefaultCodePage;
  std::string Key;
  unsigned Threads = 1;  // 1: the library's own sequential extraction
  std::string Volumes;
  std::filesystem::path Destination;
};

using Invocation = std::variant<HelpRequest, VersionRequest, CreateRequest, ListRequest, VerifyRequest, ExtractRequest>;

// `arguments` excludes the program name.
Invocation ParseArguments(const std::vector<std::string>& arguments);

// The loader's fixed directory key, as the text the library takes.
std::string DefaultKey();

}  // namespace arcset
