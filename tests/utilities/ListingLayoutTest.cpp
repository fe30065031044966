#include "utilities/ListingLayout.h"

#include "support/TempFolder.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace feedrail {
namespace {

using test::TempFolder;
using test::WriteFile;

// Writes down every drawing operation, one text per operation.
class RecordingPainter : public PagePainter {
public:
    void SetPenWidth(int pixels) override { Add("pen " + std::to_string(pixels)); }
    void SetFontSize(int points) override { Add("font " + std::to_string(points)); }
    void DrawText(int x, int y, const std::string& text) override {
        Add("text " + Point(x, y) + " " + text);
    }
    void DrawFileName(int x, int y, const std::string& name) override {
        Add("name " + Point(x, y) + " " + name);
    }
    void DrawLine(int x1, int y1, int x2, int y2) override {
        Add("line " + Point(x1, y1) + " " + Point(x2, y2));
    }
    void NewPage() override { Add("page"); }

    std::vector<std::string> Operations;

private:
    static std::string Point(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }
    void Add(std::string operation) { Operations.push_back(std::move(operation)); }
};

std::string Lines(int first, int last) {
    std::string text;
    for (int line = first; line <= last; ++line) {
        text += "L" + std::to_string(line) + "\n";
    }
    return text;
}

// A page of 8 by 3.36 inches at 72 pixels per inch. One column: the line
// pitch is 12.1 pixels, the margin 24, the heading column 266, the last row
// 16. Four columns: the pitch is 6.6, the margin 13, the heading column 145,
// the last row 33 and the columns 140 wide.
ListingValues SmallPage(int columns) {
    return ListingValues::For(576, 242, 203.2, columns);
}

class ListingLayoutTest : public ::testing::Test {
protected:
    std::vector<std::string> LayOut(const std::string& name, const std::string& content,
                                    int columns) {
        std::filesystem::create_directories(folder_.File("MILL"));
        const std::string path = folder_.File("MILL/" + name);
        WriteFile(path, content);
        ListingFile file(path);
        RecordingPainter painter;
        LayOutListing(file, SmallPage(columns), painter);
        return painter.Operations;
    }

    TempFolder folder_;
};

TEST_F(ListingLayoutTest, HeadingsPartNumbersColumnsAndPagesLandWhereTheyBelong) {
    const std::string withPartNumber = "(PN 4711-A)\n" + Lines(2, 30);
    const struct {
        const char* what;
        const char* name;
        std::string content;
        int columns;
        std::vector<std::string> inOrder;
        std::vector<std::string> absent;
        int newPages;
    } cases[] = {
        {"a part number on line 3 goes large under the heading; the listing starts on row 6",
         "O4711.nc",
         "%\nO4711\n(PN 4711-A)\nG00 X0\n",
         1,
         {"pen 0", "font 11", "text 24,12 PART NUMBER:", "text 266,12 DIRECTORY:",
          "name 24,24 O4711", "name 266,24 MILL", "font 14", "text 24,36  4711-A", "font 11",
          "text 24,73 %", "text 24,85 O4711", "text 24,97 (PN 4711-A)", "text 24,109 G00 X0"},
         {},
         0},
        {"PN without a parenthesis is no part number; the listing starts on row 4",
         "O1.nc",
         "%\nPN 4711\n",
         1,
         {"name 24,24 O1", "text 24,48 %", "text 24,61 PN 4711"},
         {"font 14"},
         0},
        {"a part number on line 10 is not looked for",
         "O2.nc",
         Lines(1, 9) + "(PN 10)\n",
         1,
         {"text 24,48 L1", "text 24,145 L9", "text 24,157 (PN 10)"},
         {"font 14"},
         0},
        {"the heading names the file up to its first dot and its folder, in capitals",
         "BRACKET.V2.NC",
         "%\n",
         1,
         {"name 24,24 BRACKET", "name 266,24 MILL", "text 24,48 %"},
         {},
         0},
        {"continuation pages number themselves and repeat the part number",
         "O4711.nc",
         withPartNumber,
         1,
         {"text 24,73 (PN 4711-A)", "text 24,194 L11", "page", "text 266,12   Page 2", "font 14",
          "text 24,24  4711-A", "font 11", "text 24,61 L12", "text 24,194 L23", "page",
          "text 266,12   Page 3", "text 24,61 L24", "text 24,133 L30", "text 24,145 "},
         {"text 266,36 Page 4"},
         2},
        {"without a part number a continuation page starts on row 3",
         "O3.nc",
         Lines(1, 14),
         1,
         {"text 24,194 L13", "page", "text 266,12   Page 2", "text 24,36 L14"},
         {"font 14"},
         1},
        {"four columns: rules 5 pixels left of columns 2 to 4 over the whole page, every page",
         "O4.nc",
         Lines(1, 130),
         4,
         {"font 6", "line 148,0 148,242", "line 288,0 288,242", "line 428,0 428,242",
          "text 13,26 L1", "text 13,218 L30", "text 153,20 L31", "text 293,20 L62",
          "text 433,20 L93", "text 433,218 L123", "page", "text 145,7   Page 2",
          "line 148,0 148,242", "line 288,0 288,242", "line 428,0 428,242", "text 13,20 L124",
          "text 13,59 L130"},
         {"text 145,20 Page 3"},
         1},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> operations = LayOut(c.name, c.content, c.columns);
        auto from = operations.begin();
        for (const std::string& expected : c.inOrder) {
            from = std::find(from, operations.end(), expected);
            ASSERT_NE(from, operations.end()) << c.what << ": " << expected;
        }
        for (const std::string& unexpected : c.absent) {
            EXPECT_EQ(std::count(operations.begin(), operations.end(), unexpected), 0)
                << c.what << ": " << unexpected;
        }
        EXPECT_EQ(std::count(operations.begin(), operations.end(), "page"), c.newPages) << c.what;
    }
}

// The heading page, and a second page that holds only its number.
TEST_F(ListingLayoutTest, AnEmptyFileDrawsOnlyItsHeadingAndPageNumber) {
    EXPECT_EQ(LayOut("EMPTY.NC", "", 1),
              (std::vector<std::string>{"pen 0", "font 11", "text 24,12 PART NUMBER:",
                                        "text 266,12 DIRECTORY:", "name 24,24 EMPTY",
                                        "name 266,24 MILL", "page", "text 266,36 Page 2"}));
}

TEST_F(ListingLayoutTest, APageTooShortToMoveTheListingOnIsRefused) {
    const std::string path = folder_.File("O1.nc");
    WriteFile(path, "%\n");
    ListingFile file(path);
    RecordingPainter painter;
    // 100 pixels hold 8.3 rows of 12.1: the last row would be 4.
    EXPECT_THROW(LayOutListing(file, ListingValues::For(576, 100, 203.2, 1), painter),
                 std::runtime_error);
    EXPECT_TRUE(painter.Operations.empty());
}

} // namespace
} // namespace feedrail
