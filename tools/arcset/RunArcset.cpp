#include "RunArcset.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <variant>

#include "Arguments.h"
#include "CreateCommand.h"
#include "ExtractCommand.h"
#include "Help.h"
#include "ListCommand.h"
#include "Locations.h"
#include "ParallelDecoderFactory.h"
#include "VerifyCommand.h"

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
    Print(ListSet(VolumePattern(request.Volumes, "list"), request.Key, request.Json));
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

}  // namespace

int RunArcset(const std::vector<std::string>& arguments) {
  try {
    std::visit(Runner{}, ParseArguments(arguments));
    return kExitSuccess;
  } catch (const UsageError& error) {
    const std::string help = error.Command().empty() ? "arcset --help" : "arcset " + error.Command() + " --help";
    std::fprintf(stderr, "arcset: %s\nTry '%s' for more information.\n", error.what(), help.c_str());
    return kExitUsage;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "arcset: %s\n", error.what());
    return kExitFailure;
  }
}

}  // namespace arcset
