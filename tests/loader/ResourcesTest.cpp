// The resources of the built setup.exe, read back as the system reads them:
// the progress dialog's template, the icon group, the manifest, the version
// resources (of bzip2arc.dll too) and the library that LZ32 expands.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "LibraryUnpacking.h"
#include "LoaderTestSupport.h"
#include "support/TempFolder.h"

using testsupport::Bytes;

namespace {

constexpr WORD kGermany = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) {
  reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
  return TRUE;
}

// A resource that setup.exe has in `language` alone.
Bytes Resource(LPCSTR type, LPCSTR name, WORD language) {
  std::vector<WORD> languages;
  EnumResourceLanguagesA(SetupModule(), type, name, AddLanguage, reinterpret_cast<LONG_PTR>(&languages));
  EXPECT_EQ(languages, std::vector<WORD>{language});
  const HRSRC found = FindResourceExA(SetupModule(), type, name, language);
  if (found == nullptr) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(SetupModule(), found)));
  return Bytes(bytes, bytes + SizeofResource(SetupModule(), found));
}

}  // namespace

TEST(ResourcesTest, DialogTemplateIsTheClassicFormWithItsFourControls) {
  struct Item {
    std::uint32_t Style;
    std::uint16_t X, Y, Cx, Cy, Id, Ordinal;  // class ordinal; 0: the progress bar's class name
    const char* Text;
  };
  const Item items[] = {
      {0x50010000, 77, 53, 40, 14, 2, 0x0080, "Cancel"},
      {0x54000000, 17, 41, 162, 11, 123, 0, ""},
      {0x50020001, 44, 12, 135, 22, 102, 0x0082, "Setup is preparing the Corvane installation tool. Please wait..."},
      {0x50000003, 17, 10, 21, 20, 101, 0x0082, "MAINICON"},
  };
  // Style, extended style, items, x, y, cx, cy, no menu, the dialog class, no title, font.
  std::vector<std::uint16_t> expected = {0x0AC0, 0x9000, 0, 0, 4, 7, 20, 195, 74, 0, 0, 0, 8};
  const auto text = [&](const char* characters) {
    while (*characters != '\0') expected.push_back(static_cast<std::uint8_t>(*characters++));
    expected.push_back(0);
  };
  text("Helv");
  for (const Item& item : items) {
    if (expected.size() % 2 != 0) expected.push_back(0);  // each item on a 4-byte boundary
    expected.insert(expected.end(), {static_cast<std::uint16_t>(item.Style), static_cast<std::uint16_t>(item.Style >> 16),
                                     0, 0, item.X, item.Y, item.Cx, item.Cy, item.Id});
    if (item.Ordinal != 0) expected.insert(expected.end(), {0xFFFF, item.Ordinal});
    else text("msctls_progress32");
    text(item.Text);
    expected.push_back(0);  // no creation data
  }
  const Bytes dialog = Resource(RT_DIALOG, MAKEINTRESOURCEA(100), kGermany);
  std::vector<std::uint16_t> words(dialog.size() / 2);
  std::memcpy(words.data(), dialog.data(), 2 * words.size());
  EXPECT_EQ(words, expected);
}

TEST(ResourcesTest, IconGroupHoldsA32And16PixelImageOf16Colours) {
  const Bytes group = Resource(RT_GROUP_ICON, "MAINICON", kGermany);
  ASSERT_EQ(group.size(), 6u + 2 * 14);
  EXPECT_EQ(Bytes(group.begin(), group.begin() + 6), (Bytes{0, 0, 1, 0, 2, 0}));
  for (const std::uint8_t size : {32, 16}) {
    const std::uint8_t* entry = group.data() + (size == 32 ? 6 : 20);
    // Width, height, colours, reserved, planes, bits per pixel; the image of the length given.
    EXPECT_EQ(Bytes(entry, entry + 8), (Bytes{size, size, 16, 0, 1, 0, 4, 0}));
    const Bytes image = Resource(RT_ICON, MAKEINTRESOURCEA(entry[12] | entry[13] << 8), kGermany);
    EXPECT_EQ(image.size(), entry[8] | entry[9] << 8 | entry[10] << 16);
  }
}

TEST(ResourcesTest, ManifestAsksForVersion6OfTheCommonControlsAndTellsWhatTheLoaderCanDo) {
  const Bytes bytes = Resource(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  const std::string manifest(bytes.begin(), bytes.end());
  const std::size_t dependency = manifest.find("<dependentAssembly>");
  ASSERT_NE(dependency, std::string::npos) << manifest;
  const std::string own = manifest.substr(0, dependency), needed = manifest.substr(dependency);
  for (const char* attribute : {"version=\"1.0.0.0\"", "processorArchitecture=\"X86\""})
    EXPECT_NE(own.find(attribute), std::string::npos) << attribute;
  for (const char* attribute : {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                                "processorArchitecture=\"X86\"", "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\""})
    EXPECT_NE(needed.find(attribute), std::string::npos) << attribute;
  // Windows 7, 8, 8.1, 10 and 11: no compatibility questions after the run.
  for (const char* os : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                         "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
    EXPECT_NE(manifest.find("<supportedOS Id=\"{" + std::string(os) + "}\"/>"), std::string::npos) << os;
  for (const char* dpi : {">true</dpiAware>", ">system</dpiAwareness>"})
    EXPECT_NE(manifest.find(dpi), std::string::npos) << dpi;
  // Setup.bin inherits the loader's elevation, which Windows gives a setup
  // program that asks for no level of its own.
  EXPECT_EQ(manifest.find("<requestedExecutionLevel"), std::string::npos);
}

namespace {

std::wstring FromUtf8(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), int(wide.size())));
  return wide;
}

}  // namespace

// What Windows shows in the files' properties: the fields the build was given.
TEST(ResourcesTest, VersionResourcesCarryTheFieldsOfTheBuild) {
  const std::pair<const char*, const char*> files[] = {{"setup.exe", VERSION_LOADER_DESCRIPTION},
                                                       {"bzip2arc.dll", VERSION_LIBRARY_DESCRIPTION}};
  for (const auto& [name, description] : files) {
    SCOPED_TRACE(name);
    const std::wstring path = BuiltFile(name).wstring();
    std::vector<std::uint8_t> info(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, DWORD(info.size()), info.data()));
    const auto Value = [&](const std::wstring& key) {
      void* text = nullptr;
      UINT length = 0;
      if (!VerQueryValueW(info.data(), (L"\\StringFileInfo\\040904B0\\" + key).c_str(), &text, &length)) return std::wstring(L"(none)");
      return std::wstring(static_cast<const wchar_t*>(text));
    };
    const std::pair<const wchar_t*, std::string> fields[] = {
        {L"CompanyName", VERSION_COMPANY_NAME}, {L"ProductName", VERSION_PRODUCT_NAME},
        {L"ProductVersion", VERSION_PRODUCT_VERSION},   {L"FileVersion", VERSION_FILE_VERSION},
        {L"FileDescription", description},      {L"LegalCopyright", VERSION_COPYRIGHT},
        {L"OriginalFilename", name}};
    for (const auto& [key, expected] : fields) EXPECT_EQ(Value(key), FromUtf8(expected)) << std::string(key, key + std::wcslen(key));
    void* fixedInfo = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &fixedInfo, &length));
    const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(fixedInfo);
    const std::wstring numbers = std::to_wstring(HIWORD(fixed.dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed.dwFileVersionMS)) +
                                 L"." + std::to_wstring(HIWORD(fixed.dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(fixed.dwFileVersionLS));
    EXPECT_EQ(numbers, FromUtf8(VERSION_FILE_VERSION));
    EXPECT_EQ(fixed.dwFileType, std::string(name) == "setup.exe" ? DWORD{VFT_APP} : DWORD{VFT_DLL});
  }
}

// LZ32's own way to open files by name ends at 128 characters; a temporary
// path of 111 characters was enough to fail.
TEST(ResourcesTest, TheLibraryExpandsThroughLz32ToTheBuiltDllWhateverThePathsLength) {
  testsupport::TempFolder temp;
  const std::filesystem::path deep = temp.Path() / std::string(240 - temp.Path().string().size(), 'd');
  std::filesystem::create_directory(deep);
  for (const std::filesystem::path& folder : {temp.Path(), deep}) {
    SCOPED_TRACE(folder.string().size());
    testsupport::WriteFileBytes(folder / "bzip2arc.dll", testsupport::ToBytes("from an earlier run"));
    ASSERT_TRUE(ExpandLibrary(SetupModule(), folder.string().c_str()));
    EXPECT_EQ(testsupport::ReadFileBytes(folder / "bzip2arc.dll"), testsupport::ReadFileBytes(BuiltFile("bzip2arc.dll")));
    EXPECT_FALSE(std::filesystem::exists(folder / "bzip2arc.dl_"));
  }
}
