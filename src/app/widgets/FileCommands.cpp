#include "app/widgets/FileCommands.h"

#include "common/AtomicFile.h"
#include "common/widgets/TextBridge.h"
#include "common/widgets/UserMessages.h"
#include "filelist/widgets/TLsFileListView26.h"
#include "transfer/ProgramFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

namespace feedrail {
namespace {

QString FileNamePart(const QString& path) {
    return QFileInfo(path).fileName();
}

std::string StampOf(const std::string& path) {
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0) {
        return {};
    }
    return std::to_string(file.st_dev) + ":" + std::to_string(file.st_ino) + ":" +
           std::to_string(file.st_mtim.tv_sec) + "." + std::to_string(file.st_mtim.tv_nsec);
}

} // namespace

FileCommands::FileCommands(RunState& state, const ActiveSettings& settings, UserMessages& messages,
                           const MainWindowControls& controls, MemoEditor& editor,
                           std::function<void(const QString&)> showStatus,
                           std::function<bool()> keepVersions)
    : state_(state), settings_(settings), messages_(messages), controls_(controls), editor_(editor),
      showStatus_(std::move(showStatus)), keepVersions_(std::move(keepVersions)) {}

void FileCommands::Get() {
    const TLsFileListView26& files = *controls_.LsFileListView261;
    if (files.SelectedCount() != 1) {
        messages_.ShowMessage(QStringLiteral("No File Selected"));
        return;
    }
    // The row's own bytes: a name that is not UTF-8 would decode and encode
    // again into another file's name.
    Get(files.CurrentRow()->Path);
}

void FileCommands::Get(const std::string& path) {
    if (MayDiscard()) {
        Load(path);
    }
}

bool FileCommands::MayDiscard() {
    if (state_.ReceivedUnsaved) {
        return messages_.Confirm(QStringLiteral("Discard the received program?"));
    }
    return !editor_.EditorModified() ||
           messages_.Confirm(QStringLiteral("Discard the changes to the program in the editor?"));
}

bool FileCommands::IsPartProgram(const std::string& path) const {
    const QString name = QFileInfo(DisplayPath(path)).fileName();
    QStringList patterns{QStringLiteral("*.nc")};
    const QString extension = BytesText(settings_.DefaultExt);
    if (!extension.isEmpty()) {
        patterns << QStringLiteral("*") + extension;
    }
    // "*" filters nothing: that alone makes no file a program.
    const QString filter = BytesText(settings_.DefaultFileFilter);
    if (!filter.isEmpty() && filter != QLatin1String("*")) {
        patterns << QStringLiteral("*.") + filter;
    }
    return QDir::match(patterns, name);
}

// The loaded file's name changes only with its program: a failed load
// leaves both as they were.
bool FileCommands::Load(const std::string& path) {
    if (const int error = editor_.LoadFile(path)) {
        messages_.ShowError(QStringLiteral("Cannot load ") + DisplayPath(path) +
                            QStringLiteral(": ") + SystemReason(error));
        return false;
    }
    state_.CurrentFile = path;
    state_.ReceivedUnsaved = false;
    ownStamp_ = StampOf(path);
    controls_.Edit7->setText(FileNamePart(DisplayPath(path)));
    return true;
}

// The first lines of the editor, where a program number stands.
std::vector<std::string> FileCommands::EditorProgramLines() const {
    std::vector<std::string> lines;
    const int count = std::min(editor_.EditorLineCount(), 20);
    for (int line = 1; line <= count; ++line) {
        lines.push_back(editor_.GetEditorLine(line));
    }
    return lines;
}

bool FileCommands::AskSaveName() {
    SaveRequest request;
    request.folder = controls_.LsFileListView261->Directory();
    request.proposedName = controls_.Edit7->text();
    // A received program has no file yet: its number names one.
    if (request.proposedName.isEmpty()) {
        if (const auto number = ProgramNumber(EditorProgramLines())) {
            request.proposedName = BytesText(*number + settings_.DefaultExt);
        }
    }
    request.filters = {
        QStringLiteral("CNC files (*.%1)").arg(BytesText(settings_.DefaultFileFilter)),
        QStringLiteral("All files (*.*)")};
    request.defaultSuffix = BytesText(settings_.DefaultExt);
    if (request.defaultSuffix.startsWith(QLatin1Char('.'))) {
        request.defaultSuffix.remove(0, 1);
    }
    const std::optional<QString> chosen = messages_.AskSaveFileName(request);
    if (chosen) {
        saveTarget_ = ChosenFile(*chosen);
    }
    return chosen.has_value();
}

// The dialog knows names only as text, and a name that is not UTF-8 shows
// as another: the loaded file is meant when its shown name comes back.
std::string FileCommands::ChosenFile(const QString& chosen) const {
    const auto same = [](const QString& path) { return QFileInfo(path).absoluteFilePath(); };
    if (!state_.CurrentFile.empty() && same(chosen) == same(DisplayPath(state_.CurrentFile))) {
        return state_.CurrentFile;
    }
    return LocalPath(chosen);
}

EarlierVersion FileCommands::KeepReplacedVersion(const std::string& target) const {
    const std::string stamp = StampOf(target);
    if (!keepVersions_() || stamp.empty() || stamp == ownStamp_) {
        return {};
    }
    const std::filesystem::path file(target);
    return KeepEarlierVersion(file.parent_path().string() + "/", file.stem().string(),
                              file.extension().string());
}

void FileCommands::Save() {
    const std::string target = ResolvedWriteTarget(saveTarget_);
    const EarlierVersion earlier = KeepReplacedVersion(target);
    if (const int error = ReplaceFileContent(target, editor_.Text())) {
        RestoreEarlierVersion(earlier, target);
        const QString failure = QStringLiteral("Cannot save ") + DisplayPath(saveTarget_) +
                                QStringLiteral(": ") + SystemReason(error);
        messages_.ShowError(failure);
        // The status line must not go on claiming the last save.
        showStatus_(failure);
        return;
    }
    controls_.Edit7->setText(FileNamePart(DisplayPath(saveTarget_)));
    state_.CurrentFile = saveTarget_;
    state_.ReceivedUnsaved = false;
    ownStamp_ = StampOf(target);
    editor_.MarkSaved();
    controls_.LsFileListView261->Refresh();
    showStatus_(QStringLiteral("File Saved"));
}

} // namespace feedrail
