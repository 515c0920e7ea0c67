// The built arcset program: the sets it writes, lists, verifies and extracts,
// its exit statuses and messages, and what it shows on a terminal.
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "Listing.h"
#include "arcset/Snapshot.h"

#ifndef _WIN32
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace arcsettest {
namespace {

using testsupport::PseudoRandomBytes;
constexpr auto npos = std::string::npos;

#ifdef _WIN32
constexpr const char* kNoInput = "NUL";
std::string Program() { return (fs::path(_pgmptr).parent_path() / "arcset.exe").string(); }
#else
constexpr const char* kNoInput = "/dev/null";
std::string Program() { return (fs::read_symlink("/proc/self/exe").parent_path() / "arcset").string(); }
#endif
// As both shells take it: no word here holds a quote, a "$" or a "\" before a quote.
std::string Quoted(const std::string& word) { return "\"" + word + "\""; }

struct Result {
  int Code;
  std::string Out, Err;
  bool operator==(const Result&) const = default;
};
void PrintTo(const Result& result, std::ostream* out) { *out << result.Code << " " << result.Out << result.Err; }

class ArcsetCli : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder_.File(name); }

  // Through the shell, with stdin empty and stdout and stderr in files.
  Result Arcset(const std::vector<std::string>& arguments) const {
    std::string command = Quoted(Program());
    for (const std::string& argument : arguments) command += " " + Quoted(argument);
    command += std::string(" <") + kNoInput + " >" + Quoted(Path("out.txt")) + " 2>" + Quoted(Path("err.txt"));
#ifdef _WIN32
    const int code = std::system(("\"" + command + "\"").c_str());  // cmd drops the outer quotes
#else
    const int status = std::system(command.c_str());
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    std::ifstream out(Path("out.txt")), err(Path("err.txt"));  // text mode: "\r\n" read as "\n"
    return {code, std::string(std::istreambuf_iterator<char>(out), {}),
            std::string(std::istreambuf_iterator<char>(err), {})};
  }

  // Dated 2021-06-15 10:MM:30: an even second, as sets keep times.
  void WriteInput(const std::string& name, const Bytes& content, int minute = 0, bool readOnly = false) const {
    using namespace std::chrono;
    fs::create_directories(fs::path(Path(name)).parent_path());
    testsupport::WriteFileBytes(Path(name), content);
    fs::last_write_time(Path(name), file_clock::from_sys(sys_days{2021y / June / 15} + 10h + minutes{minute} + 30s));
    if (readOnly) fs::permissions(Path(name), fs::perms(0222), fs::perm_options::remove);  // every write bit
  }

  testsupport::TempFolder folder_;
};

TEST_F(ArcsetCli, RoundTripsEachKindOfSetThroughListVerifyAndExtract) {
  Bytes readme = PseudoRandomBytes(60000, 1, 8);
  WriteInput("in/readme.txt", readme);
  readme[7000] = 'x';
  WriteInput("v2/readme.txt", readme, 30);
  WriteInput("in/big.bin", PseudoRandomBytes(200000, 2), 3);
  WriteInput("in/empty.dat", {}, 6, true);
#ifndef _WIN32
  WriteInput("in/caf\xe9\x7f'1'.txt", {'x'}, 9);  // names are bytes
#endif
  const std::vector<std::string> key{"--key", std::string(110, '1') + "aB"};  // 56 bytes, the most
  const std::string set = Path("set"), in = Path("in");
  const struct {
    std::vector<std::string> Create, Key, Shown;  // Shown: in the table or the JSON
  } cases[] = {
      {{"create", set, in, "--plain", "--volume-size", "2147483647", "--first-volume-size", "1m"}, {},
       {"Directory: plain", "\"VolumeSize\": 2147483647", "\"FirstVolumeSize\": 1048576", "10:06:30  R--A",
#ifndef _WIN32
        "caf\xe9\\x7f'1'.txt  ", "\"Name\": \"caf\\u00e9\\u007f'1'.txt\"",
#endif
       }},
      {{"create", set, in}, {}, {"Directory: enciphered", "\"Attributes\": 33, \"AttributeLetters\": \"R--A\""}},
      {{"create", set, in}, key, {"\"Encrypted\": 1"}},
      {{"create", set, in, "--volume-size=64K", "--first-volume-size", "40000"}, {},
       {"\"FirstVolumeSize\": 40000", "\"Volume\": 0, \"LastVolume\": 3}"}},  // big.bin over 4 volumes
      {{"create", set, in, "--patch", "readme.txt=" + in + "/readme.txt:" + Path("v2/readme.txt")}, {},
       {"patch  2021-06-15 10:30:30"}},
  };
  const Snapshot inputs = TakeSnapshot(in);
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const bool patched = c.Create.size() > 3 && c.Create[3] == "--patch";
    const auto withKey = [&](std::vector<std::string> words) {
      words.insert(words.begin() + 1, c.Key.begin(), c.Key.end());
      return Arcset(words);
    };
    ASSERT_EQ(withKey(c.Create).Code, 0);  // options may follow the operands
    const std::string shown = withKey({"list", set}).Out + withKey({"list", "--json", set}).Out;
    for (const std::string& text : c.Shown) EXPECT_NE(shown.find(text), npos) << text << " in\n" << shown;
    for (const std::string jobs : {"-j1", "--jobs=2"})
      EXPECT_EQ(withKey({"verify", jobs, set}).Out, "OK: " + std::to_string(inputs.size() + patched) + " files\n");
    EXPECT_EQ(Arcset({"verify", set}).Code, c.Key.empty() ? 0 : 1) << "read without the key";
    Snapshot expected = inputs;
    if (patched) expected["readme.txt"] = TakeSnapshot(Path("v2"))["readme.txt"];
    for (const std::string jobs : {"-j1", "--jobs=2"}) {
      const std::string out = Path("out" + std::to_string(&c - cases) + jobs);
      EXPECT_EQ(withKey({"extract", jobs, set, out}), (Result{0, "", ""})) << "no progress bar but on a terminal";
      EXPECT_EQ(TakeSnapshot(out), expected);
    }
  }
}

// Sets from other writers may hold names that create refuses: list escapes them.
TEST(ArcsetListing, NamesWithQuotesAndControlBytesAreEscaped) {
  bzip2arc::DirectoryRecord record;
  record.SetName("a\t\"b\\");
  bzip2arc::DirectoryList records;
  records.Append(record);
  const bzip2arc::ArchiveHeader header;
  EXPECT_NE(arcset::FormatJson(header, records).find("\"Name\": \"a\\u0009\\\"b\\\\\""), std::string::npos);
  EXPECT_NE(arcset::FormatTable(header, records).find("a\\x09\"b\\  "), std::string::npos);
}

// Folders add their files sorted by name where they stand among the inputs.
// An input the set cannot hold fails with 1 and leaves the set in OUTDIR alone.
TEST_F(ArcsetCli, CreateExpandsFoldersInPlaceAndRejectsWhatASetCannotHold) {
  const std::string longName(65, 'n');
  for (const std::string name : {"folder/b", "folder/c", "folder/a", "z", "m", "nested/inner/x", "one/Setup.bin",
                                 "two/setup.BIN", longName.c_str(), longName.c_str() + 1})
    WriteInput(name, testsupport::ToBytes(name));
  WriteInput("ro", {'r'}, 0, true);
  WriteInput("patch.tmp", {'p'});  // the loader's library works under that name beside its files
  ASSERT_EQ(Arcset({"create", Path("set"), Path("z"), Path("folder"), Path("m")}).Code, 0);
  const std::string listed = Arcset({"list", Path("set")}).Out;
  std::size_t at = 0;
  for (const char* name : {"\nz ", "\na ", "\nb ", "\nc ", "\nm "})
    ASSERT_NE(at = listed.find(name, at), npos) << name << " in order in\n" << listed;
  EXPECT_EQ(Arcset({"create", Path("long"), Path(longName.substr(1))}).Code, 0) << "64 bytes are fine";

  const std::string set = Path("set"), a = Path("folder/a"), b = Path("folder/b"), ro = Path("ro");
  std::vector<std::pair<std::vector<std::string>, std::string>> rejected = {
      {{"create", set, Path(longName)}, "longer than 64 bytes"},
      {{"create", set, Path("nested")}, "holds the folder 'inner': archive sets have no folders"},
      {{"create", set, Path("one"), Path("two")}, "two files named 'Setup.bin' and 'setup.BIN'"},
      {{"create", set, a, Path("missing")}, "cannot read '" + Path("missing") + "'"},
      {{"create", "--patch", "x=" + a + ":" + b, set, a}, "no file of that name"},
      {{"create", "--patch", "a=" + a + ":" + b, "--patch", "a=" + a + ":" + b, set, a}, "is not the content"},
      {{"create", "--patch", "ro=" + ro + ":" + b, set, ro}, "read-only"},
      {{"create", "--volume-size", "100", "--first-volume-size", "100", set, a}, "the first volume must hold"},
      {{"create", set, Path("patch.tmp")}, "Invalid file name in archive: \"patch.tmp\""}};
#ifndef _WIN32
  WriteInput("lpt1.txt", {'x'});
  rejected.push_back({{"create", set, Path("lpt1.txt")}, "Invalid file name in archive: \"lpt1.txt\""});
#endif
  const Snapshot before = TakeSnapshot(set);
  for (const auto& [line, message] : rejected) {
    const Result run = Arcset(line);
    EXPECT_EQ(run.Code, 1) << message;
    EXPECT_NE(run.Err.find(message), npos) << run.Err;
    EXPECT_EQ(TakeSnapshot(set), before);
  }
}

TEST_F(ArcsetCli, HelpAndVersionExitWithZeroAndUsageErrorsWithTwo) {
  for (const auto& [line, start] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--help"}, "Usage: arcset COMMAND"}, {{"create", "--help"}, "Usage: arcset create"},
           {{"help", "list"}, "Usage: arcset list"}, {{"verify", "x", "-h"}, "Usage: arcset verify"},
           {{"help", "extract"}, "Usage: arcset extract"}, {{"--version"}, "arcset 1.0.0\n"}}) {
    const Result run = Arcset(line);
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(run.Out.rfind(start, 0), 0u) << run.Out;
  }
  EXPECT_EQ(Arcset({"list", "--", "--json"}).Code, 1) << "an operand after --";

  WriteInput("a", {'a'});
  const std::string a = Path("a"), out = Path("out");
  const std::vector<std::vector<std::string>> lines = {
      {}, {"unpack", "x"}, {"help", "unpack"}, {"list"}, {"list", "--bogus", "x"}, {"list", "x", "y"},
      {"list", "--json=1", "x"}, {"list", "--key"}, {"list", a}, {"extract", "x"}, {"extract", "-j", "0", "x", "y"},
      {"extract", "-j257", "x", "y"}, {"extract", "--jobs", "x", "y"}, {"verify", "--key", "abc", "x"},
      {"verify", "--key", "zz", "x"}, {"verify", "--key", "0100", "x"}, {"verify", "--key", std::string(114, 'a'), "x"},
      {"verify", "-j0", "x"}, {"verify", "--jobs", "x"},
      {"create", out}, {"create", "--plain", "--key", "01", out, a}, {"create", "--volume-size", "12X", out, a},
      {"create", "--volume-size", "1.5M", out, a}, {"create", "--volume-size", "0", out, a},
      {"create", "--volume-size", "2G", out, a}, {"create", "--first-volume-size", "1M", out, a},
      {"create", "--patch", "a", out, a}, {"create", "--patch", "a=" + a, out, a}};
  for (const auto& line : lines) {
    const std::string topic = line.empty() || line[0] == "unpack" || line[0] == "help" ? "" : line[0] + " ";
    const Result run = Arcset(line);
    EXPECT_EQ(run.Code, 2) << run.Err;
    EXPECT_EQ(run.Err.rfind("arcset: ", 0), 0u) << run.Err;
    EXPECT_NE(run.Err.find("\nTry 'arcset " + topic + "--help' for more information.\n"), npos) << run.Err;
  }
  EXPECT_FALSE(fs::exists(out));
}

// The same set on one thread and on two. Extraction on any threads and
// verify fail alike on damaged sets (LibraryAgreementTest): here the exit
// status and the message of a set without a volume.
TEST_F(ArcsetCli, CreateGivesOneSetOnAnyThreadsAndAMissingVolumeFailsWithOne) {
  for (int i = 0; i < 4; ++i) WriteInput("in/" + std::to_string(i), PseudoRandomBytes(20000, i, i % 2 ? 8 : 256));
  for (const std::string jobs : {"1", "2"})
    ASSERT_EQ(Arcset({"create", "-j", jobs, "--volume-size", "16K", Path("set" + jobs), Path("in")}).Code, 0);
  EXPECT_EQ(TakeSnapshot(Path("set2")), TakeSnapshot(Path("set1")));
  fs::remove(Path("set1/setup0.lib"));
  fs::remove(Path("set2/setup1.lib"));
  for (const auto& [set, message] : {std::pair{"set1", "Could not open archive file!"}, {"set2", "Disk #2 needed!"}}) {
    const Result failed{1, "", "arcset: " + std::string(message) + "\n"};
    for (const std::string jobs : {"-j1", "-j2"}) {
      EXPECT_EQ(Arcset({"verify", jobs, Path(set)}), failed);
      EXPECT_EQ(Arcset({"extract", jobs, Path(set), Path("out")}), failed);
    }
  }
}

#ifndef _WIN32
// With stdin a terminal, a missing volume is asked for until Enter finds it,
// or until the input ends.
TEST_F(ArcsetCli, DiskPromptOnATerminalWaitsForEnter) {
  WriteInput("in/a.bin", PseudoRandomBytes(40000, 1));
  ASSERT_EQ(Arcset({"create", "--volume-size", "16K", Path("set"), Path("in")}).Code, 0);
  fs::rename(Path("set/setup1.lib"), Path("setup1.lib"));
  const std::string program = Program(), set = Path("set"), out = Path("out");
  for (const bool supplied : {false, true}) {
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) ::_exit(::execl(program.c_str(), "arcset", "extract", set.c_str(), out.c_str(), nullptr));
    std::string output;
    const auto readUntil = [&](const std::string& text) {  // or the end, 20 s of silence or 64 KiB
      pollfd poll{terminal, POLLIN, 0};
      char buffer[4096];
      for (ssize_t got = 0; output.find(text) == npos && output.size() < 65536 && ::poll(&poll, 1, 20000) > 0 &&
                            (got = ::read(terminal, buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(got));
      return output.find(text) != npos;
    };
    EXPECT_TRUE(readUntil("Please insert disk no. #1! Press Enter when it is in place.")) << output;
    if (supplied) fs::rename(Path("setup1.lib"), Path("set/setup1.lib"));
    EXPECT_EQ(::write(terminal, supplied ? "\n" : "\x04", 1), 1);  // Enter, or end of input
    readUntil(std::string(1, '\0'));
    ::kill(child, SIGKILL);  // one that still runs has hung
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(terminal);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, supplied ? 0 : 1) << output;
    EXPECT_NE(output.find(supplied ? "] 100%" : "arcset: Disk #2 needed!"), npos) << output;
  }
  EXPECT_EQ(testsupport::ReadFileBytes(Path("out/a.bin")), PseudoRandomBytes(40000, 1));
}
#endif

}  // namespace
}  // namespace arcsettest
