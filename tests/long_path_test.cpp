// The extended form that opens a Windows path too long for the plain one.
#include <gtest/gtest.h>

#include <string>

#include "platform/windows/long_path.h"

namespace
{

std::string extended(const std::string& full, std::size_t size = 300)
{
    char out[300];
    return platform_extended_path(full.c_str(), out, size) ? out : "(none)";
}

} // namespace

TEST(LongPath, ExtendedFormOfEachKindOfPath)
{
    EXPECT_EQ(extended("C:\\dir\\file.bin"), "\\\\?\\C:\\dir\\file.bin");
    EXPECT_EQ(extended("\\\\server\\share\\file.bin"), "\\\\?\\UNC\\server\\share\\file.bin");
    EXPECT_EQ(extended("\\\\?\\C:\\file.bin"), "\\\\?\\C:\\file.bin");
    EXPECT_EQ(extended("\\\\.\\PhysicalDrive0"), "\\\\.\\PhysicalDrive0");
    for (const char* other : {"dir\\file.bin", "\\dir\\file.bin", "C:file.bin", ""}) {
        EXPECT_EQ(extended(other), "(none)") << other;
    }
    // The result and its NUL must fit.
    EXPECT_EQ(extended("C:\\abc", 11), "\\\\?\\C:\\abc");
    EXPECT_EQ(extended("C:\\abc", 10), "(none)");
}

// The lists beside a file: their paths take the extended form once the
// plain one would pass MAX_PATH.
TEST(LongPath, ListBesideTheFile)
{
    char out[600];
    EXPECT_TRUE(platform_sibling_path("C:\\dl\\a.iso", "SHA256SUMS", out, sizeof out, 260));
    EXPECT_EQ(std::string(out), "C:\\dl\\SHA256SUMS");
    EXPECT_TRUE(platform_sibling_path("C:\\dl\\a.iso", static_cast<const char*>(nullptr), out,
                                      sizeof out, 260));
    EXPECT_EQ(std::string(out), "C:\\dl\\a.iso");
    const std::string folder = "C:\\" + std::string(250, 'd') + "\\";
    EXPECT_TRUE(
        platform_sibling_path((folder + "a.iso").c_str(), "SHA256SUMS", out, sizeof out, 260));
    EXPECT_EQ(std::string(out), "\\\\?\\" + folder + "SHA256SUMS");
    EXPECT_TRUE(platform_sibling_path(("\\\\srv\\share\\" + std::string(250, 'd') + "\\a").c_str(),
                                      "*", out, sizeof out, 260));
    EXPECT_EQ(std::string(out), "\\\\?\\UNC\\srv\\share\\" + std::string(250, 'd') + "\\*");
    EXPECT_FALSE(platform_sibling_path("a.iso", "x", out, sizeof out, 260));
    EXPECT_FALSE(platform_sibling_path((folder + "a.iso").c_str(), "SHA256SUMS", out, 262, 260));
}
