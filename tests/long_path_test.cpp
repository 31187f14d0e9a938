// The extended form that opens a Windows path too long for the plain one.
#include <gtest/gtest.h>

#include <string>

#include "long_path.h"

namespace {

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
