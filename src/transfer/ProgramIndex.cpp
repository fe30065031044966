#include "transfer/ProgramIndex.h"

#include "common/FileDescriptor.h"
#include "transfer/ProgramFiler.h"
#include "transfer/ProgramFiles.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>

namespace feedrail {
namespace {

// A program number stands within the first lines of a program; the index
// reads no more of each file than this.
constexpr std::size_t SearchedBytes = 4096;

std::optional<std::string> RealPath(const std::string& path) {
    char real[PATH_MAX];
    if (::realpath(path.c_str(), real) == nullptr) {
        return std::nullopt;
    }
    return std::string(real);
}

std::optional<std::string> FirstNumberIn(const std::string& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    std::string head(SearchedBytes, '\0');
    const ssize_t count = file.Valid() ? ::read(file.Get(), head.data(), head.size()) : -1;
    head.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return ProgramNumber(TextLines(head));
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

bool RealPathInside(const std::string& path, const std::string& realFolder) {
    const auto real = RealPath(path);
    return real && real->starts_with(realFolder + "/");
}

std::optional<std::string> LeadsOutOf(const std::string& path, const std::string& folder) {
    const auto real = RealPath(folder);
    if (real && RealPathInside(path, *real)) {
        return std::nullopt;
    }
    return RealPath(path).value_or("a file that cannot be resolved");
}

ProgramLookup ProgramIndex::Find(const std::string& folder, const std::string& number,
                                 const std::string& extension) {
    ProgramLookup found;
    // A machine without a folder has no programs to give.
    if (folder.empty() || !Refresh(folder)) {
        return found;
    }
    const auto answers = [&](const std::string& name, const Entry& entry) {
        if (entry.Outside.empty()) {
            found.Path = folder + name;
            return true;
        }
        std::string refused = name + " leads out of the folder, to " + entry.Outside;
        if (std::find(found.Refused.begin(), found.Refused.end(), refused) == found.Refused.end()) {
            found.Refused.push_back(std::move(refused));
        }
        return false;
    };
    if (const auto named = entries_.find(number + extension);
        named != entries_.end() && answers(named->first, named->second)) {
        return found;
    }
    // O0012.nc answers a request for O12, and O12.nc one for O0012.
    for (const auto& [name, entry] : entries_) {
        if (name.ends_with(extension)) {
            const std::string stem = name.substr(0, name.size() - extension.size());
            const auto named = ProgramNumberOfLine(stem);
            if (named && *named == stem && SameProgramNumber(stem, number) &&
                answers(name, entry)) {
                return found;
            }
        }
    }
    for (const auto& [name, entry] : entries_) {
        if (entry.Number && SameProgramNumber(*entry.Number, number) && answers(name, entry)) {
            return found;
        }
    }
    return found;
}

bool ProgramIndex::Refresh(const std::string& folder) {
    const auto real = RealPath(folder);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!real || !dir) {
        entries_.clear();
        return false;
    }
    if (folder != folder_ || *real != realFolder_) {
        entries_.clear();
        folder_ = folder;
        realFolder_ = *real;
    }
    ++pass_;
    while (const dirent* item = ::readdir(dir.get())) {
        const char* name = item->d_name;
        struct stat file {};
        // What is being received is no program yet, and a punch cut short
        // is none to send a machine: run, it would stop part way through.
        if (std::string_view(name).starts_with(ProgramFiler::HiddenPrefix) ||
            std::string_view(name).find(ProgramFiler::IncompleteMark) != std::string_view::npos ||
            ::fstatat(::dirfd(dir.get()), name, &file, 0) != 0 || !S_ISREG(file.st_mode)) {
            continue;
        }
        auto [known, added] = entries_.try_emplace(name);
        Entry& entry = known->second;
        if (added || entry.Inode != file.st_ino || entry.Size != file.st_size ||
            !SameTime(entry.Changed, file.st_ctim)) {
            entry = Examine(known->first, file);
        }
        entry.Pass = pass_;
    }
    std::erase_if(entries_, [this](const auto& entry) { return entry.second.Pass != pass_; });
    return true;
}

ProgramIndex::Entry ProgramIndex::Examine(const std::string& name, const struct stat& file) const {
    Entry entry{file.st_ino, file.st_size, file.st_ctim, {}, {}, 0};
    const std::string path = folder_ + name;
    if (!RealPathInside(path, realFolder_)) {
        entry.Outside = RealPath(path).value_or("a file that cannot be resolved");
        return entry;
    }
    entry.Number = FirstNumberIn(path);
    return entry;
}

} // namespace feedrail
