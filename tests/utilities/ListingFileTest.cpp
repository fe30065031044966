#include "utilities/ListingFile.h"

#include "support/TempFolder.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <system_error>
#include <vector>

namespace feedrail {
namespace {

using test::TempFolder;
using test::WriteFile;

std::vector<std::string> ReadAll(ListingFile& file) {
    std::vector<std::string> lines;
    while (!file.AtEnd()) {
        lines.push_back(file.NextLine());
    }
    return lines;
}

TEST(ListingFileTest, LinesEndAtLineFeedsAndReadTheSameAfterARewind) {
    using Lines = std::vector<std::string>;
    const std::string full(ListingFile::MaxLineBytes, 'X');
    const struct {
        std::string content;
        Lines lines;
    } cases[] = {
        {"%\nO1000\n%\n", {"%", "O1000", "%"}},
        {"N10\r\nN20", {"N10", "N20"}},
        {"", {}},
        {"\n\n", {"", ""}},
        {"N10\rN20\n", {"N10\rN20"}},
        {"A\tB \xA0\n", {"A\tB \xA0"}},
        // A long line is listed in full, in pieces, each on a row.
        {full + full + "G1\n%\n", {full, full, "G1", "%"}},
        {full + "\r\n%", {full, "%"}},
        {full + "\r", {full}},
        {full + "\rG1", {full, "\rG1"}},
        {full, {full}},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        WriteFile(folder.File("O1.nc"), c.content);
        ListingFile file(folder.File("O1.nc"));
        EXPECT_EQ(ReadAll(file), c.lines) << c.content.size();
        EXPECT_EQ(file.NextLine(), "") << c.content.size();
        file.Rewind();
        EXPECT_EQ(ReadAll(file), c.lines) << c.content.size();
    }
}

TEST(ListingFileTest, AMissingFileOrAFolderFailsWithItsReason) {
    TempFolder folder;
    try {
        ListingFile missing(folder.File("O9.nc"));
        FAIL() << "a missing file opened";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code().value(), ENOENT);
        EXPECT_STREQ(error.what(), "No such file or directory");
    }
    ListingFile directory(folder.Path());
    try {
        directory.AtEnd();
        FAIL() << "a folder read as a file";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code().value(), EISDIR);
    }
}

} // namespace
} // namespace feedrail
