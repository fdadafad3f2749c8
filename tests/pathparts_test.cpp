#include "common/pathparts.h"

#include <gtest/gtest.h>

struct PathCase {
    const char* path;
    const char* fileName;
    const char* baseName;
    const char* folder;
};

class PathPartsTest : public testing::TestWithParam<PathCase> {};

TEST_P(PathPartsTest, SplitsAtBackslashAndColonOnly) {
    const PathCase& c = GetParam();
    EXPECT_EQ(FileNameOf(c.path), c.fileName);
    EXPECT_EQ(BaseNameOf(c.path), c.baseName);
    EXPECT_EQ(FolderOf(c.path), c.folder);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathPartsTest,
    testing::Values(PathCase{"C:\\screens\\logo.bmp", "logo.bmp", "logo", "C:\\screens\\"},
                    PathCase{"title.small.bmp", "title.small.bmp", "title.small", ""},
                    PathCase{"C:\\lcd\\noext", "noext", "noext", "C:\\lcd\\"},
                    PathCase{"C:\\lcd\\", "", "", "C:\\lcd\\"},
                    PathCase{"A:logo.bmp", "logo.bmp", "logo", "A:"},
                    PathCase{"C:/lcd/logo.bmp", "/lcd/logo.bmp", "/lcd/logo", "C:"},
                    PathCase{"dir.v2\\file", "file", "file", "dir.v2\\"},
                    PathCase{"", "", "", ""}));
