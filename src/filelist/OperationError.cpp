#include "filelist/OperationError.h"

#include <cstring>

namespace feedrail {

std::string OperationError(std::string_view action, std::string_view item, int error) {
    return "Cannot " + std::string(action) + " " + std::string(item) + ": " + std::strerror(error);
}

} // namespace feedrail
