#include "service/ServiceSettings.h"

#include "profiles/IniDocument.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace feedrail {
namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace

ServiceSettings ReadServiceSettings(const std::string& path) {
    ServiceSettings settings;
    std::error_code missing;
    if (!std::filesystem::exists(path, missing)) {
        return settings;
    }
    std::ifstream file(path);
    if (!file) {
        throw std::runtime_error(path + " cannot be read");
    }
    int number = 0;
    for (std::string line; std::getline(file, line);) {
        ++number;
        const std::string text = Trimmed(line);
        if (text.empty() || text.starts_with('#') || text.starts_with(';')) {
            continue;
        }
        const auto equals = text.find('=');
        const std::string key = Trimmed(text.substr(0, equals));
        const std::string value =
            equals == std::string::npos ? "" : Trimmed(text.substr(equals + 1));
        const std::string where = path + " line " + std::to_string(number) + ": ";
        if (equals == std::string::npos || !SameIniName(key, "Http")) {
            throw std::runtime_error(where + "unknown setting \"" + text + "\"");
        }
        if (value.empty() || SameIniName(value, "off")) {
            settings.Http.reset();
        } else if (!(settings.Http = ParseHttpAddress(value))) {
            throw std::runtime_error(where + "Http is [ADDRESS:]PORT, not \"" + value + "\"");
        }
    }
    return settings;
}

} // namespace feedrail
