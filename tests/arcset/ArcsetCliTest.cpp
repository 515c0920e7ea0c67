// The built arcset program: the sets it writes, lists, verifies and extracts,
// its exit statuses and messages, and what it shows on a terminal.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <system_error>

#include "Listing.h"
#include "Locations.h"
#include "arcset/Snapshot.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
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

  // Through the shell, with stdin empty and stdout and stderr in files;
  // `before` goes in front of the program ("ulimit -f 64; ", "timeout 20 ").
  Result Arcset(const std::vector<std::string>& arguments, const std::string& before = "") const {
    std::string command = before + Quoted(Program());
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
  WriteInput("in/caf\xc3\xa9\x7f'1'.txt", {'x'}, 9);  // UTF-8 on disk, code page 1252 in the set
#endif
  const std::vector<std::string> key{"--key", std::string(110, '1') + "aB"};  // 56 bytes, the most
  const std::string set = Path("set"), in = Path("in");
  const struct {
    std::vector<std::string> Create, Key, Shown;  // Shown: in the table or the JSON
  } cases[] = {
      {{"create", set, in, "--plain", "--volume-size", "2147483647", "--first-volume-size", "1m"}, {},
       {"Directory: plain", "\"VolumeSize\": 2147483647", "\"FirstVolumeSize\": 1048576", "10:06:30  R--A",
#ifndef _WIN32
        "caf\xc3\xa9\\x7f'1'.txt  ", "\"Name\": \"caf\xc3\xa9\\u007f'1'.txt\"",
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

#ifndef _WIN32
// Sets from other writers may hold names that create refuses: list escapes
// them. Names come from the set's code page as UTF-8, a byte that it leaves
// undefined as \xNN, and the table aligns them by the columns they take.
// (arcset.exe shows them in the ANSI code page, as stored.)
TEST(ArcsetListing, NamesAreShownFromTheirCodePageWithControlBytesEscaped) {
  const arcset::Names names(arcset::CodePage::Default());
  const std::string workFile = arcset::PrivateWorkFile();
  bzip2arc::DirectoryStore records(workFile.c_str());
  for (const char* name : {"a\t\"b\\", "Gr\xf6\xdf" "e\x81"}) {
    bzip2arc::DirectoryRecord record;
    record.SetName(name);
    records.Append(record);
  }
  const bzip2arc::ArchiveHeader header;
  std::string json, table;
  arcset::FormatJson(header, records, names, [&](const std::string& text) { json += text; });
  EXPECT_NE(json.find("\"Name\": \"a\\u0009\\\"b\\\\\""), npos) << json;
  EXPECT_NE(json.find("\"Name\": \"Gr\xc3\xb6\xc3\x9f" "e\\\\x81\""), npos) << json;
  arcset::FormatTable(header, records, names, [&](const std::string& text) { table += text; });
  EXPECT_NE(table.find("a\\x09\"b\\            0"), npos) << table;
  EXPECT_NE(table.find("Gr\xc3\xb6\xc3\x9f" "e\\x81           0"), npos) << table;
}
#endif

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
  // The library's message, with the file and the system's reason, or the record under way, around it.
  const std::string noVolume0 =
      "Could not open archive file!: " + fs::path(Path("set1/setup0.lib")).make_preferred().string() + ": " +
      std::system_category().message(ENOENT);
  for (const auto& [set, message] : {std::pair{"set1", noVolume0}, {"set2", std::string("0: Disk #2 needed!")}}) {
    const Result failed{1, "", "arcset: " + message + "\n"};
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
    EXPECT_NE(output.find(supplied ? "] 100%" : "arcset: a.bin: Disk #2 needed!"), npos) << output;
  }
  EXPECT_EQ(testsupport::ReadFileBytes(Path("out/a.bin")), PseudoRandomBytes(40000, 1));
}

// Names are stored in the code page and come back as UTF-8; create refuses
// names the code page cannot hold, names that Windows takes for one file, and
// names Windows would change, and writes nothing then.
TEST_F(ArcsetCli, NamesTravelInTheirCodePage) {
  WriteInput("in/Gr\xc3\xb6\xc3\x9f" "e.txt", {'g'});
  ASSERT_EQ(Arcset({"create", "--plain", Path("set"), Path("in")}).Code, 0);
  const Bytes volume = testsupport::ReadFileBytes(Path("set/setup0.lib"));
  const Bytes stored{'G', 'r', 0xF6, 0xDF, 'e', '.', 't', 'x', 't'};
  EXPECT_NE(std::search(volume.begin(), volume.end(), stored.begin(), stored.end()), volume.end());
  EXPECT_NE(Arcset({"list", "--json", Path("set")}).Out.find("\"Gr\xc3\xb6\xc3\x9f" "e.txt\""), npos);
  EXPECT_NE(Arcset({"list", "--codepage", "1251", Path("set")}).Out.find("Gr\xd1\x86\xd0\xaf" "e.txt"), npos);
  EXPECT_EQ(Arcset({"extract", Path("set"), Path("out")}).Code, 0);
  EXPECT_EQ(TakeSnapshot(Path("out")), TakeSnapshot(Path("in")));

  WriteInput("twins/\xc3\x89t\xc3\xa9.txt", {'1'});
  WriteInput("twins/\xc3\xa9T\xc3\x89.TXT", {'2'});
  WriteInput("dot/a.", {'d'});
  WriteInput("work/Patch.TMP", {'w'});
  const struct {
    std::vector<std::string> Create;
    std::string Says;
  } refused[] = {
      {{"--codepage", "1251", Path("in")}, "code page 1251 cannot hold"},
      {{Path("twins")}, "two files named"},
      {{Path("dot")}, "Invalid file name in archive: \"a.\""},
      {{Path("work")}, "Invalid file name in archive: \"Patch.TMP\""},
  };
  for (const auto& r : refused) {
    std::vector<std::string> arguments{"create", Path("new")};
    arguments.insert(arguments.end(), r.Create.begin(), r.Create.end());
    const Result result = Arcset(arguments);
    EXPECT_EQ(result.Code, 1) << r.Says;
    EXPECT_NE(result.Err.find(r.Says), npos) << result.Err;
    EXPECT_FALSE(fs::exists(Path("new/setup0.lib")));
  }
}

// A folder operand is a folder whatever its name holds; DEST is made only
// once the set opens.
TEST_F(ArcsetCli, FolderNamesWithPercentDAreFolders) {
  WriteInput("in/a.txt", {'a'});
  ASSERT_EQ(Arcset({"create", Path("50%d off"), Path("in")}).Code, 0);
  EXPECT_EQ(Arcset({"extract", Path("50%d off"), Path("out")}).Code, 0);
  EXPECT_EQ(TakeSnapshot(Path("out")), TakeSnapshot(Path("in")));
  EXPECT_EQ(Arcset({"list", Path("50%d off/setup%d.lib")}).Code, 0) << "the last %d is the directive";
  EXPECT_EQ(Arcset({"extract", Path("nothing"), Path("never")}).Code, 1);
  EXPECT_FALSE(fs::exists(Path("never")));
}

// OUTDIR as an input adds its files but not the set it holds; a link
// planted as a volume's partial file is replaced, not written through.
TEST_F(ArcsetCli, CreateIntoAnInputFolderAddsNotItsOwnSet) {
  WriteInput("in/a.txt", {'a'});
  WriteInput("in/setup.lib.txt", {'b'});
  ASSERT_EQ(Arcset({"create", Path("in"), Path("in")}).Code, 0);
  testsupport::WriteFileBytes(Path("victim"), {'v'});
  fs::create_symlink(Path("victim"), Path("in/.setup0.lib.partial"));
  ASSERT_EQ(Arcset({"create", Path("in"), Path("in")}).Code, 0);
  EXPECT_EQ(testsupport::ReadFileBytes(Path("victim")), Bytes{'v'});
  EXPECT_FALSE(fs::exists(Path("in/.setup0.lib.partial")));
  EXPECT_EQ(Arcset({"extract", Path("in"), Path("out")}).Code, 0);
  Snapshot expected = TakeSnapshot(Path("in"));
  expected.erase("setup0.lib");
  EXPECT_EQ(TakeSnapshot(Path("out")), expected);
}

// The names in `folder` that a killed or failed extraction would leave.
std::vector<std::string> NewFilesLeft(const fs::path& folder) {
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().find(".arcset-") != npos) left.push_back(entry.path().filename().string());
  }
  return left;
}

// Links planted under the records' names are replaced, never written
// through: a file, a folder and a dangling link's target outside the
// destination stay as they were (read-only note.txt would chmod the folder).
TEST_F(ArcsetCli, ExtractReplacesLinksAndNeverFollowsThem) {
  WriteInput("in/big.bin", PseudoRandomBytes(300000, 1));
  WriteInput("in/note.txt", {'n'}, 1, true);
  WriteInput("in/new.txt", {'c'});
  ASSERT_EQ(Arcset({"create", Path("set"), Path("in")}).Code, 0);
  testsupport::WriteFileBytes(Path("victim"), {'v'});
  fs::create_directory(Path("victimdir"));
  const fs::perms folderPerms = fs::status(Path("victimdir")).permissions();
  for (const std::string jobs : {"-j1", "-j2"}) {
    const std::string out = Path("out" + jobs);
    fs::create_directory(out);
    fs::create_symlink(Path("victim"), out + "/big.bin");
    fs::create_symlink(Path("victimdir"), out + "/note.txt");
    fs::create_symlink(Path("created"), out + "/new.txt");  // dangling
    EXPECT_EQ(Arcset({"extract", jobs, Path("set"), out}).Code, 0);
    EXPECT_EQ(TakeSnapshot(out), TakeSnapshot(Path("in")));
    for (const char* name : {"big.bin", "note.txt", "new.txt"}) EXPECT_FALSE(fs::is_symlink(out + "/" + name));
    EXPECT_EQ(testsupport::ReadFileBytes(Path("victim")), Bytes{'v'});
    EXPECT_EQ(fs::status(Path("victimdir")).permissions(), folderPerms);
    EXPECT_FALSE(fs::exists(Path("created")));
  }
}

// A file of a record's name is replaced whole or not at all: a damaged
// stream, content shorter than its size and a file-size limit (which names
// the file and the reason, and kills nobody) leave the old file and no new one.
TEST_F(ArcsetCli, FailedExtractionKeepsTheOldFile) {
  WriteInput("in/big.bin", Bytes(2 << 20, 'z'));  // compresses to little: the destination meets the limit
  ASSERT_EQ(Arcset({"create", "--plain", Path("set"), Path("in")}).Code, 0);
  const Bytes volume = testsupport::ReadFileBytes(Path("set/setup0.lib"));
  const struct {
    const char* Name;
    std::function<void(Bytes&)> Damage;
    std::string Before, Message;
  } cases[] = {
      {"FileSizeLimit", nullptr, "ulimit -f 1024; ", "arcset: big.bin: Stream write error: " + Path("out/big.bin") + ": " +
                                                          std::system_category().message(EFBIG) + "\n"},
      {"DamagedStream", [](Bytes& v) { v[v.size() - 20] ^= 0x55; }, "", "arcset: big.bin: error -4\n"},
      {"ShortContent", [](Bytes& v) { v[bzip2arc::kArchiveHeaderSize + 73] += 1; }, "",
       "arcset: big.bin: File big.bin is corrupted\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Bytes damaged = volume;
    if (c.Damage) c.Damage(damaged);
    testsupport::WriteFileBytes(Path("set/setup0.lib"), damaged);
    fs::create_directories(Path("out"));
    testsupport::WriteFileBytes(Path("out/big.bin"), {'o', 'l', 'd'});
    for (const std::string jobs : {"-j1", "-j2"}) {
      EXPECT_EQ(Arcset({"extract", jobs, Path("set"), Path("out")}, c.Before), (Result{1, "", c.Message}));
      EXPECT_EQ(testsupport::ReadFileBytes(Path("out/big.bin")), (Bytes{'o', 'l', 'd'}));
      EXPECT_EQ(NewFilesLeft(Path("out")), std::vector<std::string>{});
    }
  }
}

// SIGKILL part-way: the old file is whole; at most the new file is left,
// under a name that says what it is.
TEST_F(ArcsetCli, KilledExtractionKeepsTheOldFile) {
  WriteInput("in/big.bin", PseudoRandomBytes(6 << 20, 3));
  ASSERT_EQ(Arcset({"create", Path("set"), Path("in")}).Code, 0);
  fs::create_directory(Path("out"));
  testsupport::WriteFileBytes(Path("out/big.bin"), {'o', 'l', 'd'});
  const std::string program = Program(), set = Path("set"), out = Path("out");
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 2);
    ::_exit(::execl(program.c_str(), "arcset", "extract", set.c_str(), out.c_str(), nullptr));
  }
  bool writing = false;
  for (int i = 0; i < 20000 && !writing; ++i) {  // up to 20 s
    writing = !NewFilesLeft(out).empty();
    if (!writing) ::usleep(1000);
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(writing) << "the new file never appeared";
  EXPECT_TRUE(WIFSIGNALED(status)) << "extraction ended before it was killed";
  EXPECT_EQ(testsupport::ReadFileBytes(Path("out/big.bin")), (Bytes{'o', 'l', 'd'}));
  for (const std::string& name : NewFilesLeft(out)) EXPECT_EQ(name.rfind(".big.bin.arcset-", 0), 0u) << name;
}

// Two extractions into one folder at once, each with a patch: neither sees
// the other's work files.
TEST_F(ArcsetCli, TwoExtractionsIntoOneFolderAtOnce) {
  std::string both;
  for (const std::string name : {"x", "y"}) {
    const Bytes v1 = PseudoRandomBytes(400000, name[0], 8);
    Bytes v2 = v1;
    v2[1000] ^= 1;
    WriteInput(name + "1/" + name, v1);
    WriteInput(name + "2/" + name, v2);
    ASSERT_EQ(Arcset({"create", Path("set" + name), Path(name + "1"), "--patch",
                      name + "=" + Path(name + "1/" + name) + ":" + Path(name + "2/" + name)})
                  .Code,
              0);
    both += Quoted(Program()) + " extract " + Quoted(Path("set" + name)) + " " + Quoted(Path("out")) + " & ";
  }
  for (int run = 0; run < 3; ++run) {
    fs::remove_all(Path("out"));
    fs::create_directory(Path("out"));
    EXPECT_EQ(std::system(("{ " + both + "wait; } 2>" + Quoted(Path("err.txt"))).c_str()), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(Path("err.txt")), Bytes{});
    EXPECT_EQ(testsupport::ReadFileBytes(Path("out/x")), testsupport::ReadFileBytes(Path("x2/x")));
    EXPECT_EQ(testsupport::ReadFileBytes(Path("out/y")), testsupport::ReadFileBytes(Path("y2/y")));
    EXPECT_EQ(NewFilesLeft(Path("out")), std::vector<std::string>{});
  }
}

// A pipe as a volume is refused at once, not waited on for ever.
TEST_F(ArcsetCli, VolumeThatIsNoRegularFileIsRefused) {
  fs::create_directory(Path("set"));
  ASSERT_EQ(::mkfifo(Path("set/setup0.lib").c_str(), 0600), 0);
  const std::string refused = "arcset: Could not open archive file!: " + Path("set/setup0.lib") + " is not a regular file\n";
  for (const std::string command : {"list", "verify", "extract"}) {
    std::vector<std::string> arguments{command, Path("set")};
    if (command == "extract") arguments.push_back(Path("out"));
    EXPECT_EQ(Arcset(arguments, "timeout 20 "), (Result{1, "", refused})) << command;
  }
}
#endif

}  // namespace
}  // namespace arcsettest
