// Both program files carry the icon, a version resource whose version is
// the project's, and an application manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

struct ProgramFile {
  const char* Path;
  const char* FileName;
};

const ProgramFile kPrograms[] = {
    {KESTROVA_APP_PATH, "Kestrova.exe"},
    {KESTROVA_CLI_PATH, "kestrova-cli.exe"},
};

std::vector<int> IconSizesOf(const char* path) {
  std::vector<int> sizes;
  HMODULE program = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (program == nullptr) return sizes;
  if (HRSRC icons = FindResourceA(program, "MAINICON", MAKEINTRESOURCEA(14))) {  // RT_GROUP_ICON
    const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(program, icons)));
    const WORD count = *reinterpret_cast<const WORD*>(group + 4);
    for (WORD i = 0; i < count; ++i) sizes.push_back(group[6 + 14 * i]);
  }
  FreeLibrary(program);
  return sizes;
}

// The application manifest's text; empty when the program has none.
std::string ManifestOf(const char* path) {
  std::string text;
  HMODULE program = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (program == nullptr) return text;
  if (HRSRC manifest = FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {  // RT_MANIFEST
    text.assign(static_cast<const char*>(LockResource(LoadResource(program, manifest))),
                SizeofResource(program, manifest));
  }
  FreeLibrary(program);
  return text;
}

class VersionResource {
 public:
  explicit VersionResource(const char* path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    data_.resize(size);
    if (size == 0 || !GetFileVersionInfoA(path, 0, size, data_.data())) data_.clear();
  }

  bool Present() const { return !data_.empty(); }

  std::string Value(const char* name) {
    char* text = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040904E4\\") + name;
    if (!VerQueryValueA(data_.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) {
      return std::string();
    }
    return std::string(text);
  }

  const VS_FIXEDFILEINFO* Fixed() {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data_.data(), "\\", reinterpret_cast<void**>(&fixed), &length)) return nullptr;
    return fixed;
  }

 private:
  std::vector<char> data_;
};

TEST(ProgramResources, IconAndProjectVersionInBothPrograms) {
  for (const ProgramFile& file : kPrograms) {
    SCOPED_TRACE(file.FileName);
    EXPECT_EQ(IconSizesOf(file.Path), (std::vector<int>{16, 32, 48}));

    VersionResource version(file.Path);
    ASSERT_TRUE(version.Present());
    EXPECT_EQ(version.Value("ProductName"), "Kestrova");
    EXPECT_EQ(version.Value("ProductVersion"), KESTROVA_VERSION);
    EXPECT_EQ(version.Value("FileVersion"), KESTROVA_VERSION);
    EXPECT_EQ(version.Value("OriginalFilename"), file.FileName);
    EXPECT_NE(version.Value("LegalCopyright").find("Kestrova developers"), std::string::npos);
    const VS_FIXEDFILEINFO* fixed = version.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(KESTROVA_VERSION_MINOR, KESTROVA_VERSION_MAJOR));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  }
}

// Names outside the ANSI code page reach both programs whole where the
// system can give them so.
TEST(ProgramResources, BothProgramsAskForTheUtf8CodePage) {
  for (const ProgramFile& file : kPrograms) {
    SCOPED_TRACE(file.FileName);
    const std::string manifest = ManifestOf(file.Path);
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">"
                            "UTF-8</activeCodePage>"),
              std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  }
}

// The window scales its layout itself, so the system must not stretch it.
TEST(ProgramResources, TheWindowProgramDeclaresItselfAwareOfTheSystemDpi) {
  const std::string manifest = ManifestOf(KESTROVA_APP_PATH);
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find(
                "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"),
            std::string::npos);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
}

}  // namespace
