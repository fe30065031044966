#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace feedrail {

// File name patterns, several separated by ";" ("*.nc;*.tap"), with "*" and
// "?" as wildcards. Letter case does not matter, as in the save dialog's
// filters. "*.*" means every file, also one without a dot such as O1000.
class FileMask {
public:
    explicit FileMask(std::string_view mask);

    bool Matches(const std::string& name) const;

private:
    std::vector<std::string> patterns_;
};

} // namespace feedrail
