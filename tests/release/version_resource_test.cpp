// The shipped DLL's version resource, read back through the Windows version API.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

constexpr std::size_t kMaxQuery = 128; // bytes of a VerQueryValue path

// The DLL under test: the one in the plug-in folder.
std::string DllPath() {
    const char* path = std::getenv("LEXAMUND_DLL");
    return path == nullptr ? std::string() : std::string(path);
}

// The whole version resource of path; empty when the file has none.
std::vector<char> VersionInfo(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::vector<char> info(size);
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, info.data())) info.clear();
    return info;
}

// The string `name` of the resource's first translation; "<missing>" when absent.
std::string StringValue(std::vector<char>& info, const char* name) {
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &length) ||
        length < sizeof(Translation)) {
        return "<missing>";
    }
    char query[kMaxQuery];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language,
                  translations[0].codePage, name);
    char* value = nullptr;
    if (!VerQueryValueA(info.data(), query, reinterpret_cast<void**>(&value), &length) ||
        value == nullptr) {
        return "<missing>";
    }
    return std::string(value, strnlen(value, length));
}

class VersionResource : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(DllPath().empty()) << "LEXAMUND_DLL is not set";
        info = VersionInfo(DllPath());
        ASSERT_FALSE(info.empty()) << DllPath() << " has no version resource";
    }
    std::vector<char> info;
};

TEST_F(VersionResource, NumbersAreTheProjectVersion) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD high = MAKELONG(LEXAMUND_VERSION_MINOR, LEXAMUND_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, LEXAMUND_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "no debug or pre-release flag";
}

TEST_F(VersionResource, StringsNameTheProductAndItsVersion) {
    EXPECT_EQ(StringValue(info, "FileVersion"), LEXAMUND_VERSION);
    EXPECT_EQ(StringValue(info, "ProductVersion"), LEXAMUND_VERSION);
    EXPECT_EQ(StringValue(info, "ProductName"), "Lexamund");
    EXPECT_EQ(StringValue(info, "FileDescription"), LEXAMUND_DESCRIPTION);
    EXPECT_EQ(StringValue(info, "InternalName"), "Lexamund.dll");
    EXPECT_EQ(StringValue(info, "OriginalFilename"), "Lexamund.dll");
    EXPECT_EQ(StringValue(info, "LegalCopyright"), LEXAMUND_COPYRIGHT);
}

} // namespace
