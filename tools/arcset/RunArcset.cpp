#include "RunArcset.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <system_error>
#include <variant>

#include "Arguments.h"
#include "CreateCommand.h"
#include "ExtractCommand.h"
#include "Help.h"
#include "ListCommand.h"
#include "Locations.h"
#include "Names.h"
#include "ParallelDecoderFactory.h"
#include "VerifyCommand.h"
#include "archive/core/Error.h"

namespace arcset {

namespace {

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

struct Runner {
  void operator()(const HelpRequest& request) const { Print(HelpText(request.Command)); }
  void operator()(const VersionRequest&) const { Print(VersionText()); }
  void operator()(const CreateRequest& request) const {
    const CreateSummary summary = CreateSet(request);
    Print(std::to_string(summary.Records) + " records in " + std::to_string(summary.Volumes) +
          (summary.Volumes == 1 ? " volume, " : " volumes, ") + std::to_string(summary.Bytes) + " bytes\n");
  }
  void operator()(const ListRequest& request) const {
    const Names names(*CodePage::Find(request.CodePage));
    ListSet(VolumePattern(request.Volumes, "list"), request.Key, request.Json, names,
            [](const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); });
    std::fflush(stdout);
  }
  void operator()(const VerifyRequest& request) const {
    std::optional<bzip2arc::ParallelDecoderFactory> decoders;
    if (request.Threads > 1) decoders.emplace(request.Threads);
    const std::size_t records =
        VerifySet(VolumePattern(request.Volumes, "verify"), request.Key, decoders ? &*decoders : nullptr);
    Print("OK: " + std::to_string(records) + " files\n");
  }
  void operator()(const ExtractRequest& request) const { ExtractSet(request); }
};

// The code page that the command's names are in.
int CodePageOf(const Invocation& invocation) {
  return std::visit(
      [](const auto& request) {
        if constexpr (requires { request.CodePage; }) return request.CodePage;
        else return kDefaultCodePage;
      },
      invocation);
}

// The library's message with what it knows around it: the record under way
// and, for a file, its path and the system's reason.
std::string FailureText(const bzip2arc::Exception& error, int codePage) {
  std::string text;
  if (!error.Record().empty()) text += Names(*CodePage::Find(codePage)).Shown(error.Record()) + ": ";
  text += error.Message();
  if (*error.Detail() != '\0') {
    text += std::string(": ") + error.Detail();
    if (error.SystemError() != 0) text += ": " + std::system_category().message(error.SystemError());
  }
  return text;
}

}  // namespace

int RunArcset(const std::vector<std::string>& arguments) {
  int codePage = kDefaultCodePage;
  try {
    const Invocation invocation = ParseArguments(arguments);
    codePage = CodePageOf(invocation);
    std::visit(Runner{}, invocation);
    return kExitSuccess;
  } catch (const UsageError& error) {
    const std::string help = error.Command().empty() ? "arcset --help" : "arcset " + error.Command() + " --help";
    std::fprintf(stderr, "arcset: %s\nTry '%s' for more information.\n", error.what(), help.c_str());
    return kExitUsage;
  } catch (const bzip2arc::Exception& error) {
    std::fprintf(stderr, "arcset: %s\n", FailureText(error, codePage).c_str());
    return kExitFailure;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "arcset: %s\n", error.what());
    return kExitFailure;
  }
}

}  // namespace arcset
