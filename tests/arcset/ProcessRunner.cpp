#include "arcset/ProcessRunner.h"

#include <stdexcept>

#include "support/TempFolder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace arcsettest {

namespace {

// Output with Windows line ends reads like POSIX output.
std::string ReadText(const std::filesystem::path& file) {
  const testsupport::Bytes bytes = testsupport::ReadFileBytes(file);
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += static_cast<char>(bytes[i]);
  }
  return text;
}

#ifdef _WIN32
// Quoting as the C runtime's argument parser undoes it.
std::string Quoted(const std::string& argument) {
  std::string text = "\"";
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') backslashes = backslashes * 2 + 1;
    text.append(backslashes, '\\');
    backslashes = 0;
    text += c;
  }
  text.append(backslashes * 2, '\\');
  return text + "\"";
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {
    if (handle_ == INVALID_HANDLE_VALUE || handle_ == nullptr) throw std::runtime_error("cannot open a file for a child");
  }
  ~Handle() { ::CloseHandle(handle_); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

HANDLE Inheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof security;
  security.bInheritHandle = TRUE;
  return ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

}  // namespace

std::filesystem::path ProgramFolder() {
#ifdef _WIN32
  char path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::filesystem::path(std::string(path, length)).parent_path();
#else
  return std::filesystem::read_symlink("/proc/self/exe").parent_path();
#endif
}

ProcessResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::filesystem::path& scratch) {
  const std::string out = (scratch / "stdout.txt").string();
  const std::string err = (scratch / "stderr.txt").string();
  ProcessResult result;
#ifdef _WIN32
  std::string command = Quoted(program.string());
  for (const std::string& argument : arguments) command += " " + Quoted(argument);
  {
    const Handle input(Inheritable("NUL", GENERIC_READ, OPEN_EXISTING));
    const Handle output(Inheritable(out, GENERIC_WRITE, CREATE_ALWAYS));
    const Handle error(Inheritable(err, GENERIC_WRITE, CREATE_ALWAYS));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.Get();
    startup.hStdOutput = output.Get();
    startup.hStdError = error.Get();
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &process)) {
      throw std::runtime_error("cannot start " + program.string());
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    result.ExitCode = static_cast<int>(code);
  }
#else
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  const int started = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) throw std::runtime_error("cannot start " + program.string());
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
  result.Out = ReadText(out);
  result.Err = ReadText(err);
  return result;
}

}  // namespace arcsettest
