// The resources of the built setup.exe, read back as the system reads them:
// the progress dialog's template byte by byte, the icon group, the manifest
// and the compressed library.
#include <gtest/gtest.h>

#include <windows.h>
#include <lzexpand.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "LoaderTestSupport.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using testsupport::Bytes;

namespace {

constexpr WORD kGermany = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);

class DataModule {
 public:
  explicit DataModule(const fs::path& path)
      : module_(LoadLibraryExA(path.string().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~DataModule() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  DataModule(const DataModule&) = delete;
  DataModule& operator=(const DataModule&) = delete;

  HMODULE Handle() const { return module_; }

  // The resource's bytes; empty when there is none in that language.
  Bytes Resource(LPCSTR type, LPCSTR name, WORD language) const {
    HRSRC found = FindResourceExA(module_, type, name, language);
    if (found == nullptr) return {};
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module_, found)));
    return Bytes(bytes, bytes + SizeofResource(module_, found));
  }

  std::vector<WORD> Languages(LPCSTR type, LPCSTR name) const {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(module_, type, name, AddLanguage, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
  }

 private:
  static BOOL CALLBACK AddLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) {
    reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
    return TRUE;
  }

  HMODULE module_;
};

// Reads a resource's little-endian fields in order.
class Reader {
 public:
  explicit Reader(const Bytes& bytes) : bytes_(bytes) {}

  std::uint16_t Word() {
    Need(2);
    const auto value = static_cast<std::uint16_t>(bytes_[at_] | bytes_[at_ + 1] << 8);
    at_ += 2;
    return value;
  }
  std::uint32_t Dword() {
    const std::uint32_t low = Word();
    return low | static_cast<std::uint32_t>(Word()) << 16;
  }
  std::int16_t Short() { return static_cast<std::int16_t>(Word()); }
  std::uint8_t Byte() {
    Need(1);
    return bytes_[at_++];
  }
  // A zero-terminated UTF-16 string, here always ASCII.
  std::string Text() {
    std::string text;
    for (std::uint16_t c = Word(); c != 0; c = Word()) text += static_cast<char>(c);
    return text;
  }
  // A string or an 0xFFFF-marked ordinal, written as "#<n>".
  std::string NameOrOrdinal() {
    if (Peek() == 0xFFFF) {
      Word();
      return "#" + std::to_string(Word());
    }
    return Text();
  }
  void AlignToDword() { at_ = (at_ + 3) & ~std::size_t{3}; }
  std::size_t Remaining() const { return bytes_.size() - at_; }

 private:
  std::uint16_t Peek() {
    const std::size_t at = at_;
    const std::uint16_t value = Word();
    at_ = at;
    return value;
  }
  void Need(std::size_t count) {
    if (at_ + count > bytes_.size()) throw std::out_of_range("resource ends early");
  }

  const Bytes& bytes_;
  std::size_t at_ = 0;
};

struct ItemLayout {
  std::uint32_t Style;
  std::int16_t X, Y, Cx, Cy;
  std::uint16_t Id;
  std::string ClassName;
  std::string Text;
};

fs::path Built(const char* name) { return loadertest::ProgramFolder() / name; }

std::string Between(const std::string& text, const std::string& from, const std::string& to, std::size_t start = 0) {
  const std::size_t begin = text.find(from, start);
  if (begin == std::string::npos) return {};
  const std::size_t end = text.find(to, begin);
  return end == std::string::npos ? std::string() : text.substr(begin, end - begin);
}

class ResourceLayoutTest : public ::testing::TestWithParam<const char*> {
 protected:
  DataModule loader{Built(GetParam())};
  void SetUp() override { ASSERT_NE(loader.Handle(), nullptr) << Built(GetParam()); }
};

}  // namespace

TEST_P(ResourceLayoutTest, DialogTemplateIsTheClassicFormWithItsFourControls) {
  EXPECT_EQ(loader.Languages(RT_DIALOG, MAKEINTRESOURCEA(100)), std::vector<WORD>{kGermany});
  const Bytes dialog = loader.Resource(RT_DIALOG, MAKEINTRESOURCEA(100), kGermany);
  ASSERT_FALSE(dialog.empty());
  Reader in(dialog);
  const std::uint32_t style = in.Dword();
  ASSERT_NE(style >> 16, 0xFFFFu) << "an extended template";
  EXPECT_EQ(style, 0x90000AC0u);
  EXPECT_EQ(in.Dword(), 0u);  // extended style
  EXPECT_EQ(in.Word(), 4);    // items
  EXPECT_EQ(in.Short(), 7);
  EXPECT_EQ(in.Short(), 20);
  EXPECT_EQ(in.Short(), 195);
  EXPECT_EQ(in.Short(), 74);
  EXPECT_EQ(in.NameOrOrdinal(), "");  // menu
  EXPECT_EQ(in.NameOrOrdinal(), "");  // the predefined dialog class
  EXPECT_EQ(in.Text(), "");           // title
  EXPECT_EQ(in.Word(), 8);            // points
  EXPECT_EQ(in.Text(), "Helv");

  const ItemLayout expected[] = {
      {0x50010000, 77, 53, 40, 14, 2, "#128", "Cancel"},
      {0x54000000, 17, 41, 162, 11, 123, "msctls_progress32", ""},
      {0x50020001, 44, 12, 135, 22, 102, "#130", "Setup is preparing the Corvane installation tool. Please wait..."},
      {0x50000003, 17, 10, 21, 20, 101, "#130", "MAINICON"},
  };
  for (const ItemLayout& item : expected) {
    SCOPED_TRACE(item.Id);
    in.AlignToDword();
    EXPECT_EQ(in.Dword(), item.Style);
    EXPECT_EQ(in.Dword(), 0u);
    EXPECT_EQ(in.Short(), item.X);
    EXPECT_EQ(in.Short(), item.Y);
    EXPECT_EQ(in.Short(), item.Cx);
    EXPECT_EQ(in.Short(), item.Cy);
    EXPECT_EQ(in.Word(), item.Id);
    EXPECT_EQ(in.NameOrOrdinal(), item.ClassName);
    EXPECT_EQ(in.NameOrOrdinal(), item.Text);
    EXPECT_EQ(in.Word(), 0);  // no creation data
  }
  EXPECT_EQ(in.Remaining(), 0u);
}

TEST_P(ResourceLayoutTest, IconGroupHoldsA32And16PixelImageOf16Colours) {
  EXPECT_EQ(loader.Languages(RT_GROUP_ICON, "MAINICON"), std::vector<WORD>{kGermany});
  const Bytes group = loader.Resource(RT_GROUP_ICON, "MAINICON", kGermany);
  ASSERT_FALSE(group.empty());
  Reader in(group);
  EXPECT_EQ(in.Word(), 0);
  EXPECT_EQ(in.Word(), 1);  // icons
  ASSERT_EQ(in.Word(), 2);
  for (const int size : {32, 16}) {
    SCOPED_TRACE(size);
    EXPECT_EQ(in.Byte(), size);
    EXPECT_EQ(in.Byte(), size);
    EXPECT_EQ(in.Byte(), 16);  // colours
    EXPECT_EQ(in.Byte(), 0);
    EXPECT_EQ(in.Word(), 1);  // planes
    EXPECT_EQ(in.Word(), 4);  // bits per pixel
    const std::uint32_t length = in.Dword();
    const std::uint16_t id = in.Word();
    const Bytes image = loader.Resource(RT_ICON, MAKEINTRESOURCEA(id), kGermany);
    ASSERT_EQ(image.size(), length);
    Reader header(image);
    EXPECT_EQ(header.Dword(), 40u);
    EXPECT_EQ(header.Dword(), static_cast<std::uint32_t>(size));
    EXPECT_EQ(header.Dword(), static_cast<std::uint32_t>(2 * size));
    EXPECT_EQ(header.Word(), 1);
    EXPECT_EQ(header.Word(), 4);
    // Palette, colour bits and mask: 40 + 64 + (size * size / 2) + (4 * size).
    EXPECT_EQ(length, 40u + 64u + static_cast<std::uint32_t>(size * size / 2 + 4 * size));
  }
  // The icon is drawn by the system from this module.
  EXPECT_NE(LoadImageA(loader.Handle(), "MAINICON", IMAGE_ICON, 32, 32, 0), nullptr);
}

TEST_P(ResourceLayoutTest, ManifestAsksForVersion6OfTheCommonControls) {
  const Bytes bytes = loader.Resource(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  ASSERT_FALSE(bytes.empty());
  const std::string manifest(bytes.begin(), bytes.end());
  const std::string own = Between(manifest, "<assemblyIdentity", "/>");
  EXPECT_NE(own.find("version=\"1.0.0.0\""), std::string::npos) << own;
  EXPECT_NE(own.find("processorArchitecture=\"X86\""), std::string::npos) << own;
  const std::string dependency =
      Between(manifest, "<assemblyIdentity", "/>", manifest.find("<dependentAssembly>"));
  for (const char* attribute :
       {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"", "processorArchitecture=\"X86\"",
        "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\"", "type=\"win32\""}) {
    EXPECT_NE(dependency.find(attribute), std::string::npos) << attribute << " in " << dependency;
  }
}

TEST_P(ResourceLayoutTest, TheProgramIsA32BitGuiProgram) {
  const Bytes file = testsupport::ReadFileBytes(Built(GetParam()));
  ASSERT_GT(file.size(), 0x200u);
  std::uint32_t peOffset;
  std::memcpy(&peOffset, file.data() + 0x3C, 4);
  ASSERT_LT(peOffset + 0x60u, file.size());
  EXPECT_EQ(std::memcmp(file.data() + peOffset, "PE\0\0", 4), 0);
  std::uint16_t machine, magic, subsystem;
  std::memcpy(&machine, file.data() + peOffset + 4, 2);
  std::memcpy(&magic, file.data() + peOffset + 24, 2);
  std::memcpy(&subsystem, file.data() + peOffset + 24 + 68, 2);
  EXPECT_EQ(machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
  EXPECT_EQ(subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, ResourceLayoutTest, ::testing::Values("setup.exe", "setup-noresource.exe"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           return std::string(param.index == 0 ? "Full" : "WithoutLibrary");
                         });

TEST(LibraryResourceTest, ExpandsWithLz32ToExactlyTheBuiltLibrary) {
  const DataModule loader(Built("setup.exe"));
  ASSERT_NE(loader.Handle(), nullptr);
  const Bytes compressed = loader.Resource(RT_RCDATA, "BZIP2ARC", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  const Bytes library = testsupport::ReadFileBytes(Built("bzip2arc.dll"));
  ASSERT_GT(compressed.size(), 14u);
  EXPECT_EQ(std::memcmp(compressed.data(), "SZDD\x88\xF0\x27\x33", 8), 0);
  EXPECT_EQ(compressed[8], 'A');
  EXPECT_EQ(compressed[9], 0);
  std::uint32_t length;
  std::memcpy(&length, compressed.data() + 10, 4);
  EXPECT_EQ(length, library.size());

  testsupport::TempFolder temp;
  testsupport::WriteFileBytes(temp.Path() / "bzip2arc.dl_", compressed);
  std::string source = temp.File("bzip2arc.dl_"), target = temp.File("expanded.dll");
  OFSTRUCT sourceInfo{}, targetInfo{};
  const INT from = LZOpenFileA(source.data(), &sourceInfo, OF_READ);
  const INT to = LZOpenFileA(target.data(), &targetInfo, OF_CREATE | OF_WRITE);
  ASSERT_GE(from, 0);
  ASSERT_GE(to, 0);
  EXPECT_EQ(LZCopy(from, to), static_cast<LONG>(library.size()));
  LZClose(from);
  LZClose(to);
  EXPECT_EQ(testsupport::ReadFileBytes(target), library);
  ::testing::Test::RecordProperty("szdd_bytes", static_cast<int>(compressed.size()));
  ::testing::Test::RecordProperty("dll_bytes", static_cast<int>(library.size()));
}

TEST(LibraryResourceTest, TheSecondBuildLacksOnlyTheLibrary) {
  const DataModule loader(Built("setup-noresource.exe"));
  ASSERT_NE(loader.Handle(), nullptr);
  EXPECT_EQ(FindResourceA(loader.Handle(), "BZIP2ARC", RT_RCDATA), nullptr);
  EXPECT_NE(FindResourceExA(loader.Handle(), RT_DIALOG, MAKEINTRESOURCEA(100), kGermany), nullptr);
}
