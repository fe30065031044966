#include "filelist/ViewKinds.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::TempFolder;
using test::WriteFile;

TEST(FileListViewKindsTest, ExtensionsChooseTheViewerAndTheProfilesAddTheirOwn) {
    TempFolder folder;
    const std::string profiles = folder.File("DNC.ini");
    WriteFile(profiles, "[Fanuc]\nDefaultFileFilter=min\nDefaultExt=.eia\n"
                        "[Haas]\nDefaultFileFilter=*.PIM\nDefaultExt=*\n[Dirs]\nDir1=A,/nc\n");
    const ViewKinds kinds(profiles);
    const struct {
        const char* path;
        ViewKind kind;
    } cases[] = {
        {"/nc/O1000.nc", ViewKind::Text},      {"/nc/O1000.NC", ViewKind::Text},
        {"/nc/O2000.tap", ViewKind::Text},     {"/nc/O3000.ngc", ViewKind::Text},
        {"/nc/setup.TXT", ViewKind::Text},     {"/nc/DNC.ini", ViewKind::Text},
        {"/nc/macro.prg", ViewKind::Text},     {"/nc/O4000.min", ViewKind::Text},
        {"/nc/O5000.EIA", ViewKind::Text},     {"/nc/O6000.pim", ViewKind::Text},
        {"/nc/part.bmp", ViewKind::Picture},   {"/nc/part.PNG", ViewKind::Picture},
        {"/nc/part.jpg", ViewKind::Picture},   {"/nc/sheet.rtf", ViewKind::Document},
        {"/nc/sheet.doc", ViewKind::Document}, {"/nc/O1000", ViewKind::None},
        {"/nc/.nc", ViewKind::None},           {"/nc/archive.zip", ViewKind::None},
        {"/nc.d/O7000", ViewKind::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kinds.KindOf(c.path), c.kind) << c.path;
    }
    EXPECT_EQ(ViewKinds(folder.File("none.ini")).KindOf("/nc/O4000.min"), ViewKind::None);
}

} // namespace
} // namespace feedrail
