#include "utilities/widgets/PrintCommands.h"

#include "common/widgets/TextBridge.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRadioButton>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace feedrail {
namespace {

using test::FakeMessages;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

QString Q(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

// What a poppler tool prints about a PDF file.
QString Poppler(const char* tool, QStringList arguments) {
    QProcess process;
    process.start(QLatin1String(tool), arguments);
    EXPECT_TRUE(process.waitForFinished(30000)) << tool << " did not run; is poppler-utils there?";
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString PdfText(const QString& pdf) {
    return Poppler("pdftotext", {pdf, QStringLiteral("-")});
}

// The value of one line of pdfinfo: "Pages", "Title".
QString PdfInfo(const QString& pdf, const QString& key) {
    for (const QString& line : Poppler("pdfinfo", {pdf}).split(QLatin1Char('\n'))) {
        if (line.startsWith(key + QLatin1Char(':'))) {
            return line.mid(key.size() + 1).trimmed();
        }
    }
    return {};
}

std::string NumberedLines(int count) {
    std::string text;
    for (int n = 1; n <= count; ++n) {
        text += "N" + std::to_string(n * 10) + " G01 X" + std::to_string(n) + "\n";
    }
    return text;
}

class PrintCommandsTest : public ::testing::Test {
protected:
    PrintCommandsTest() {
        state_.ProgramDir = folder_.File("program/");
        std::filesystem::create_directories(state_.ProgramDir);
    }

    PrintCommands& Commands() {
        if (!commands_) {
            commands_ = std::make_unique<PrintCommands>(
                state_, messages_, [this] { return editorText_; }, [this] { return selected_; },
                nullptr, ListingDestination{[] { return QPrinterInfo(); }, documents_});
        }
        return *commands_;
    }

    QString Pdf(const char* name) const { return documents_ + QLatin1Char('/') + name; }

    TempFolder folder_;
    RunState state_;
    FakeMessages messages_;
    std::string editorText_;
    QString selected_;
    // Missing until the first listing creates it.
    QString documents_ = Q(folder_.File("home/Documents"));
    std::unique_ptr<PrintCommands> commands_;
};

TEST_F(PrintCommandsTest, PrintFileWithoutAPrinterLeavesAPdfWhoseTextIsTheListing) {
    std::filesystem::create_directories(folder_.File("MILL"));
    const std::string path = folder_.File("MILL/O4711.nc");
    WriteFile(path, "%\nO4711\n(PN 4711-A)\n" + NumberedLines(150) + "%\n");
    selected_ = Q(path);

    Commands().BitBtn3Click();

    EXPECT_TRUE(messages_.Errors.isEmpty()) << messages_.Errors.join(' ').toStdString();
    EXPECT_EQ(messages_.Messages, QStringList{"Listing saved as " + Pdf("O4711.pdf")});
    EXPECT_EQ(PdfInfo(Pdf("O4711.pdf"), QStringLiteral("Title")), selected_);
    const QString text = PdfText(Pdf("O4711.pdf"));
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_EQ(pages.size(), 3) << text.toStdString();
    for (const char* heading : {"PART NUMBER:", "DIRECTORY:", "O4711", "MILL", "4711-A"}) {
        EXPECT_TRUE(pages[0].contains(QLatin1String(heading))) << heading;
    }
    EXPECT_TRUE(pages[1].contains(QLatin1String("Page 2")));
    EXPECT_TRUE(pages[2].contains(QLatin1String("Page 3")));
    EXPECT_TRUE(pages[2].contains(QLatin1String("4711-A")));
    qsizetype at = 0;
    for (int n = 1; n <= 150; ++n) {
        const QString line = QStringLiteral("N%1 G01 X%2").arg(n * 10).arg(n);
        at = text.indexOf(line, at);
        ASSERT_GE(at, 0) << "line " << n << " is missing or out of order";
    }
}

TEST_F(PrintCommandsTest, PrintWindowListsTheEditorThroughTempNcInTheProgramFolder) {
    editorText_ = "%\nO1000\nN10 G00 X0";
    state_.CancelRequested = true;

    Commands().PrintWindowButtonClick();

    const std::string tempNc = state_.ProgramDir + "temp.nc";
    EXPECT_EQ(ReadFile(tempNc), editorText_);
    EXPECT_EQ(Commands().LastWindowPrintFile(), Q(tempNc));
    EXPECT_FALSE(state_.CancelRequested);
    EXPECT_EQ(messages_.Messages, QStringList{"Listing saved as " + Pdf("temp.pdf")});
    EXPECT_EQ(PdfInfo(Pdf("temp.pdf"), QStringLiteral("Title")), Q(tempNc));
    const QString text = PdfText(Pdf("temp.pdf"));
    for (const char* shown : {"TEMP", "PROGRAM", "O1000", "N10 G00 X0"}) {
        EXPECT_TRUE(text.contains(QLatin1String(shown))) << shown << " in " << text.toStdString();
    }
}

TEST_F(PrintCommandsTest, PrintColumnsListsTheLastWindowFileInTheChosenColumns) {
    Commands().PrintColumns1Click();
    EXPECT_EQ(messages_.Messages, QStringList{"Print Window has not printed a file yet"});
    EXPECT_FALSE(Commands().Print_Columns().isVisible());

    editorText_ = NumberedLines(200);
    Commands().PrintWindowButtonClick();
    EXPECT_EQ(PdfInfo(Pdf("temp.pdf"), QStringLiteral("Pages")), "4");
    // The editor has moved on; the dialog lists what Print Window wrote.
    editorText_ = "N10";

    Commands().PrintColumns1Click();
    TPrint_Columns& dialog = Commands().Print_Columns();
    ASSERT_TRUE(dialog.isVisible());
    dialog.findChild<QRadioButton*>(QStringLiteral("RadioButton4"))->setChecked(true);
    dialog.OkClick();

    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(messages_.Messages.size(), 3);
    EXPECT_EQ(PdfInfo(Pdf("temp.pdf"), QStringLiteral("Pages")), "1");
    const QString text = PdfText(Pdf("temp.pdf"));
    EXPECT_TRUE(text.contains(QLatin1String("N2000 G01 X200")));
}

// Nothing to print, or an item without lines to list, is told; nothing is
// printed.
TEST_F(PrintCommandsTest, NothingToPrintIsToldAndSoIsAnItemThatIsNoFile) {
    const std::string fifo = folder_.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = folder_.File("O1.nc");
    std::filesystem::create_symlink(folder_.File("gone.nc"), link);
    const struct {
        const char* what;
        std::string editor;
        QString selected;
        void (PrintCommands::*click)();
        QStringList messages;
        QStringList errors;
    } cases[] = {
        {"an empty editor",
         "",
         {},
         &PrintCommands::PrintWindowButtonClick,
         {"Nothing in Edit Window"},
         {}},
        {"no file selected", "", {}, &PrintCommands::BitBtn3Click, {"No File Selected"}, {}},
        {"a folder selected",
         "",
         Q(folder_.Path()),
         &PrintCommands::BitBtn3Click,
         {},
         {"Cannot print " + Q(folder_.Path()) + ": it is a folder"}},
        {"a pipe selected",
         "",
         Q(fifo),
         &PrintCommands::BitBtn3Click,
         {},
         {"Cannot print " + Q(fifo) + ": it is no file but a device, pipe or socket"}},
        {"a link to nothing selected",
         "",
         Q(link),
         &PrintCommands::BitBtn3Click,
         {},
         {"Cannot print " + Q(link) + ": the link points to " + Q(folder_.File("gone.nc")) +
          ", which is not there"}},
    };
    for (const auto& c : cases) {
        messages_.Messages.clear();
        messages_.Errors.clear();
        editorText_ = c.editor;
        selected_ = c.selected;
        (Commands().*c.click)();
        EXPECT_EQ(messages_.Messages, c.messages) << c.what;
        EXPECT_EQ(messages_.Errors, c.errors) << c.what;
    }
    EXPECT_FALSE(std::filesystem::exists(state_.ProgramDir + "temp.nc"));
    EXPECT_FALSE(QDir(documents_).exists());
}

TEST_F(PrintCommandsTest, AFailedListingShowsItsReasonAndClaimsNoPdf) {
    const std::string program = folder_.File("O1.nc");
    WriteFile(program, "%\n");
    const struct {
        const char* what;
        std::function<void()> arrange;
        std::function<void()> click;
        QString error;
    } cases[] = {
        {"a file where the documents folder should be",
         [&] { WriteFile(folder_.File("home"), ""); },
         [&] {
             selected_ = Q(program);
             Commands().BitBtn3Click();
         },
         "Cannot print " + Q(program) + ": " + documents_ + ": Not a directory"},
        {"a program folder that is gone", [&] { std::filesystem::remove_all(state_.ProgramDir); },
         [&] {
             editorText_ = "%";
             Commands().PrintWindowButtonClick();
         },
         "Cannot save " + Q(state_.ProgramDir + "temp.nc") + ": No such file or directory"},
    };
    for (const auto& c : cases) {
        c.arrange();
        messages_.Errors.clear();
        c.click();
        EXPECT_EQ(messages_.Errors, QStringList{c.error}) << c.what;
        EXPECT_TRUE(messages_.Messages.isEmpty()) << c.what;
    }
}

TEST_F(PrintCommandsTest, AWindowFileRemovedSincePrintWindowIsReportedMissing) {
    editorText_ = "%";
    Commands().PrintWindowButtonClick();
    messages_.Messages.clear();
    std::filesystem::remove(state_.ProgramDir + "temp.nc");

    Commands().PrintColumns1Click();
    Commands().Print_Columns().OkClick();

    EXPECT_EQ(messages_.Errors, QStringList{"Cannot print " + Commands().LastWindowPrintFile() +
                                            ": No such file or directory"});
    EXPECT_TRUE(messages_.Messages.isEmpty());
}

// A PDF of the user's own is never replaced by a listing, even one of the
// same name; a listing of ours is. Print Window's listing is named after the
// program loaded in the editor.
TEST_F(PrintCommandsTest, AListingNeverReplacesAFileOfTheUsersOwn) {
    std::filesystem::create_directories(LocalPath(documents_));
    WriteFile(LocalPath(Pdf("BRACKET.pdf")), "%PDF-1.4 a drawing of the bracket");
    WriteFile(folder_.File("BRACKET.nc"), "%\nO1000\n%\n");
    selected_ = Q(folder_.File("BRACKET.nc"));
    Commands().BitBtn3Click();
    Commands().BitBtn3Click();
    EXPECT_EQ(ReadFile(LocalPath(Pdf("BRACKET.pdf"))), "%PDF-1.4 a drawing of the bracket");
    EXPECT_EQ(messages_.Messages, QStringList({"Listing saved as " + Pdf("BRACKET-2.pdf"),
                                               "Listing saved as " + Pdf("BRACKET-2.pdf")}));
    EXPECT_FALSE(std::filesystem::exists(LocalPath(Pdf("BRACKET-3.pdf"))));

    messages_.Messages.clear();
    state_.CurrentFile = folder_.File("BRACKET.nc");
    editorText_ = "%\nO1000\n%";
    Commands().PrintWindowButtonClick();
    EXPECT_EQ(messages_.Messages, QStringList{"Listing saved as " + Pdf("BRACKET-2.pdf")});
}

} // namespace
} // namespace feedrail
