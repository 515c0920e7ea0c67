#include "Report.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "Crc32.h"
#include "Handle.h"

namespace sample {

namespace {

// `text` in the ANSI code page, when every character of it is there.
bool ExactAnsi(const std::wstring& text, std::string& ansi) {
  ansi.assign(text.size() * 2 + 1, '\0');
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, ansi.data(),
                                         static_cast<int>(ansi.size()), nullptr, &usedDefault);
  if (length <= 0 || usedDefault) return false;
  ansi.resize(static_cast<std::size_t>(length) - 1);
  return true;
}

// The folder this program runs in, as the "A" functions can open it: its
// short 8.3 form where the long one has characters outside the ANSI code
// page. Wine reports the long form even to a program started by its short one.
std::string OwnFolder() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return {};
  path.resize(length);
  const std::size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  path.resize(slash);
  std::string folder;
  if (ExactAnsi(path, folder)) return folder;
  std::wstring shortPath(32768, L'\0');
  const DWORD shortLength = GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
  if (shortLength == 0 || shortLength >= shortPath.size()) return {};
  shortPath.resize(shortLength);
  return ExactAnsi(shortPath, folder) ? folder : std::string();
}

void MeasureFile(const std::string& path, FolderFile& file) {
  FileHandle handle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!handle.Valid()) return;
  constexpr DWORD kChunk = 1 << 16;
  auto buffer = std::make_unique<unsigned char[]>(kChunk);
  Crc32 crc;
  DWORD got = 0;
  while (ReadFile(handle.Get(), buffer.get(), kChunk, &got, nullptr)) {
    if (got == 0) {
      file.Crc = crc.Value();
      file.Readable = true;
      return;
    }
    crc.Update(buffer.get(), got);
  }
}

bool NameLess(const FolderFile& a, const FolderFile& b) {
  return lstrcmpiA(a.Name.c_str(), b.Name.c_str()) < 0;
}

std::vector<FolderFile> ListFolder(const std::string& folder) {
  std::vector<FolderFile> files;
  WIN32_FIND_DATAA data{};
  FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &data));
  if (!search.Valid()) return files;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    FolderFile file;
    file.Name = data.cFileName;
    file.Size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    MeasureFile(folder + "\\" + file.Name, file);
    files.push_back(std::move(file));
  } while (FindNextFileA(search.Get(), &data));
  std::sort(files.begin(), files.end(), NameLess);
  return files;
}

// What a Unicode program gets from its command line.
std::vector<std::string> SplitAsTheShellDoes(const wchar_t* commandLine) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** split = CommandLineToArgvW(commandLine, &count);
  if (split == nullptr) return arguments;
  for (int i = 0; i < count; ++i) {
    char text[4096] = {};
    WideCharToMultiByte(CP_ACP, 0, split[i], -1, text, sizeof text - 1, nullptr, nullptr);
    arguments.emplace_back(text);
  }
  LocalFree(split);
  return arguments;
}

const char* ShowCommandName(int command) {
  switch (command) {
    case SW_HIDE: return "SW_HIDE";
    case SW_SHOWNORMAL: return "SW_SHOWNORMAL";
    case SW_SHOWMINIMIZED: return "SW_SHOWMINIMIZED";
    case SW_SHOWMAXIMIZED: return "SW_SHOWMAXIMIZED";
    case SW_SHOWNOACTIVATE: return "SW_SHOWNOACTIVATE";
    case SW_SHOW: return "SW_SHOW";
    case SW_SHOWDEFAULT: return "SW_SHOWDEFAULT";
    default: return "other";
  }
}

}  // namespace

Report GatherReport() {
  Report report;
  report.CommandLine = GetCommandLineA();
  for (int i = 0; i < __argc; ++i) report.Arguments.emplace_back(__argv[i]);
  report.WideArguments = SplitAsTheShellDoes(GetCommandLineW());
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  if (startup.dwFlags & STARTF_USESHOWWINDOW) report.ShowCommand = startup.wShowWindow;
  report.Folder = OwnFolder();
  report.Files = ListFolder(report.Folder);
  return report;
}

std::string FormatReport(const Report& report) {
  std::string text = "Corvane sample main program\r\n";
  text += "Command line: [" + report.CommandLine + "]\r\n";
  text += "Argument count: " + std::to_string(report.Arguments.size()) + "\r\n";
  for (std::size_t i = 0; i < report.Arguments.size(); ++i)
    text += "Argument " + std::to_string(i) + ": [" + report.Arguments[i] + "]\r\n";
  text += "Wide argument count: " + std::to_string(report.WideArguments.size()) + "\r\n";
  for (std::size_t i = 0; i < report.WideArguments.size(); ++i)
    text += "Wide argument " + std::to_string(i) + ": [" + report.WideArguments[i] + "]\r\n";
  if (report.ShowCommand < 0) {
    text += "Show command: none\r\n";
  } else {
    text += "Show command: " + std::to_string(report.ShowCommand) + " (" + ShowCommandName(report.ShowCommand) + ")\r\n";
  }
  text += "Folder: [" + report.Folder + "]\r\n";
  text += "File count: " + std::to_string(report.Files.size()) + "\r\n";
  for (const FolderFile& file : report.Files) {
    char crc[16] = "--------";
    if (file.Readable) std::snprintf(crc, sizeof crc, "%08lX", static_cast<unsigned long>(file.Crc));
    text += "File: " + std::to_string(file.Size) + " " + crc + " " + file.Name + "\r\n";
  }
  return text;
}

}  // namespace sample
