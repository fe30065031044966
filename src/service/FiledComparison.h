#pragma once

#include "common/BlockingQueue.h"
#include "transfer/ProgramIndex.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace feedrail {

// What a program just filed is against the stored program of its number in
// the machine's folder: "O1234 filed as O1234-2.nc: 3 lines differ from
// O1234.nc", "... the same as O1234.nc", "... not compared with O1234.nc:
// too large"; nothing when no other program of that number is stored, or the
// filed one has no number.
// With versions kept, `earlier` is the program the filed one replaced, and
// it is the one compared with ("... from versions/O1234-20261210-093012.nc").
std::optional<std::string> FiledAgainstStored(const std::string& filed, const std::string& earlier,
                                              const std::string& folder,
                                              const std::string& extension, ProgramIndex& index);

// Compares each program filed with the stored one on a thread of its own, so
// that a long program never holds up the machine's line, and reports the
// outcome. Programs filed while one is compared wait their turn, up to
// MaxWaiting of them; a stop drops those waiting.
class FiledComparison {
public:
    explicit FiledComparison(std::function<void(const std::string&)> report);
    ~FiledComparison();
    FiledComparison(const FiledComparison&) = delete;
    FiledComparison& operator=(const FiledComparison&) = delete;

    void Compare(std::string filed, std::string earlier, std::string folder, std::string extension);

    // Either program past this size is not compared: a comparison holds both
    // programs and its rows in memory, on every machine's thread at once.
    static constexpr std::uint64_t MostBytes = std::uint64_t{16} << 20;
    static constexpr std::size_t MaxWaiting = 64;

private:
    struct Job {
        std::string Filed, Earlier, Folder, Extension;
    };

    void Run();

    std::function<void(const std::string&)> report_;
    ProgramIndex index_;
    BlockingQueue<Job> jobs_{MaxWaiting};
    std::thread thread_;
};

} // namespace feedrail
