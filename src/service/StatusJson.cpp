#include "service/StatusJson.h"

#include "common/LocalTime.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace feedrail {

namespace {

// The length of the UTF-8 sequence at `at`, or 0 when it is not one.
std::size_t SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const std::size_t length = byte < 0x80                   ? 1
                               : byte >= 0xC2 && byte < 0xE0 ? 2
                               : byte >= 0xE0 && byte < 0xF0 ? 3
                               : byte >= 0xF0 && byte < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    for (std::size_t next = at + 1; next < at + length; ++next) {
        if ((static_cast<unsigned char>(text[next]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

struct Figures {
    std::string Program;
    std::optional<int> Percent;
    std::uint64_t Bytes = 0;
    std::uint64_t TotalBytes = 0;
    std::uint64_t Rate = 0;
};

Figures FiguresOf(const MachineStatus& status) {
    Figures figures;
    if (!status.Line) {
        return figures;
    }
    const LineSnapshot& line = *status.Line;
    if (const auto& collected = line.Collecting) {
        const TransferProgress progress{
            TransferProgress::Way::Receive, 0, 0, collected->Bytes, 0, collected->Elapsed};
        return {collected->Number, std::nullopt, collected->Bytes, 0, progress.BytesPerSecond()};
    }
    if (!line.Sending && !line.AwaitingXon) {
        return figures;
    }
    figures.Program = status.Program;
    if (const auto& progress = line.Progress; progress && line.Phase == TransferPhase::Sending &&
                                              progress->Direction == TransferProgress::Way::Send) {
        figures.Percent = progress->Percent();
        figures.Bytes = progress->Bytes;
        figures.TotalBytes = progress->TotalBytes;
        figures.Rate = progress->BytesPerSecond();
    }
    return figures;
}

std::string LastJson(const LineSnapshot& line) {
    if (!line.LastTransfer) {
        return "null";
    }
    const TransferRecord& record = *line.LastTransfer;
    return "{\"direction\":" + JsonString(record.Direction) +
           ",\"file\":" + JsonString(std::filesystem::path(record.File).filename().string()) +
           ",\"lines\":" + std::to_string(record.Lines) +
           ",\"bytes\":" + std::to_string(record.Bytes) +
           ",\"result\":" + JsonString(record.Result) +
           ",\"at\":" + JsonString(LocalTimeText(line.LastTransferAt, "%Y-%m-%d %H:%M:%S")) + "}";
}

std::string MachineJson(const MachineStatus& status) {
    const Figures figures = FiguresOf(status);
    return "{\"name\":" + JsonString(status.Machine) + ",\"port\":" + JsonString(status.Port) +
           ",\"state\":" + JsonString(status.State) +
           ",\"code\":" + JsonString(MachineStateCode(status)) +
           ",\"program\":" + JsonString(figures.Program) +
           ",\"percent\":" + (figures.Percent ? std::to_string(*figures.Percent) : "null") +
           ",\"bytes\":" + std::to_string(figures.Bytes) +
           ",\"totalBytes\":" + std::to_string(figures.TotalBytes) +
           ",\"rate\":" + std::to_string(figures.Rate) +
           ",\"last\":" + (status.Line ? LastJson(*status.Line) : "null") + "}";
}

} // namespace

std::string JsonString(std::string_view text) {
    std::string json = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = SequenceLength(text, at);
        const auto byte = static_cast<unsigned char>(text[at]);
        if (length == 0) {
            json += "\\ufffd";
            ++at;
            continue;
        }
        if (length == 1 && (byte < 0x20 || byte == '"' || byte == '\\' || byte == '<' ||
                            byte == '>' || byte == '&' || byte == 0x7F)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            json += escape;
        } else {
            json.append(text.substr(at, length));
        }
        at += length;
    }
    return json + "\"";
}

std::string MachineStateCode(const MachineStatus& status) {
    if (!status.Line) {
        return status.State == "disabled" ? "disabled" : "not-served";
    }
    const LineSnapshot& line = *status.Line;
    if (status.Stopping) {
        return "stopping";
    }
    if (!line.PortOpen) {
        return "port-gone";
    }
    if (status.Finding) {
        return "finding";
    }
    if (line.AwaitingXon) {
        return "waiting-for-xon";
    }
    if (line.Sending) {
        return line.PausedByMachine ? "paused" : "sending";
    }
    if (line.Collecting) {
        return "receiving";
    }
    if (line.Reaching) {
        return "reaching";
    }
    return line.Listening ? "listening" : "idle";
}

std::string MachinesJson(const std::vector<MachineStatus>& statuses) {
    std::string json = "[";
    for (const MachineStatus& status : statuses) {
        json += (json.size() > 1 ? ",\n" : "") + MachineJson(status);
    }
    return json + "]\n";
}

} // namespace feedrail
