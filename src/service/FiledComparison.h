#pragma once

#include "service/TaskLane.h"
#include "transfer/ProgramIndex.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

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

// Compares each program one machine files with the stored one on the
// service's comparison threads, so that a long program never holds up the
// machine's line, and reports the outcome. The machine's programs are
// compared in the order filed; a stop drops those waiting. When the service
// already has its most comparisons waiting, a program is not compared, and
// that is reported at once: filing never waits for a comparison.
class FiledComparison {
public:
    FiledComparison(TaskPool& pool, std::function<void(const std::string&)> report);
    ~FiledComparison();
    FiledComparison(const FiledComparison&) = delete;
    FiledComparison& operator=(const FiledComparison&) = delete;

    void Compare(std::string filed, std::string earlier, std::string folder, std::string extension);

    // Either program past this size is not compared: a comparison holds both
    // programs and its rows in memory, on each comparison thread at once.
    static constexpr std::uint64_t MostBytes = std::uint64_t{16} << 20;

private:
    void Run(const std::string& filed, const std::string& earlier, const std::string& folder,
             const std::string& extension);

    std::function<void(const std::string&)> report_;
    // Only the lane's tasks use it, one at a time.
    ProgramIndex index_;
    TaskLane lane_;
};

} // namespace feedrail
