// The sample main setup program of the example medium. It shows what the
// setup loader handed over: the command line, the arguments and the files
// beside it. With /report=PATH it writes that to PATH and ends at once,
// which is what scripts and tests use.
#include <windows.h>

#include <string>
#include <string_view>

#include "Handle.h"
#include "Report.h"
#include "ReportWindow.h"

namespace {

constexpr std::string_view kReportOption = "/report=";

std::string ReportPath(const sample::Report& report) {
  for (std::size_t i = 1; i < report.Arguments.size(); ++i) {
    const std::string& argument = report.Arguments[i];
    if (argument.size() > kReportOption.size() &&
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, argument.c_str(), static_cast<int>(kReportOption.size()),
                       kReportOption.data(), static_cast<int>(kReportOption.size())) == CSTR_EQUAL)
      return argument.substr(kReportOption.size());
  }
  return {};
}

// Written under a temporary name and renamed, so that a reader never sees
// half a report.
bool WriteReport(const std::string& path, const std::string& text) {
  const std::string partial = path + ".part";
  {
    sample::FileHandle file(
        CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    DWORD written = 0;
    if (!WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size())
      return false;
  }
  return MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const sample::Report report = sample::GatherReport();
  const std::string text = sample::FormatReport(report);
  const std::string path = ReportPath(report);
  if (!path.empty()) return WriteReport(path, text) ? 0 : 1;
  return sample::ShowReportWindow(instance, text);
}
