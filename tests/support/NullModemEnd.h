#pragma once

#include "serial/device/LineRules.h"
#include "serial/device/SerialDevice.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace feedrail::test {

// One end of an in-memory null-modem cable. What it writes arrives in the
// other end's input queue; its DTR is the other end's DSR and carrier, its RTS
// the other end's CTS. The test controls let a test play the line and the far
// device: ring, hold output, inject line errors and make operations fail.
class NullModemEnd final : public SerialDevice {
    struct Link;
    struct Side;

public:
    enum class Operation {
        GetSettings,
        SetSettings,
        SetTimeouts,
        SetQueueSizes,
        SetEventMask,
        Write,
        Read,
        ClearError,
        Purge,
        EscapeFunction,
        GetModemStatus,
    };

    // Both ends of a new cable.
    static std::array<std::shared_ptr<NullModemEnd>, 2> Cable();

    // Ends come from Cable(): `link` is the cable they share, `side` 0 or 1.
    NullModemEnd(std::shared_ptr<Link> link, std::size_t side);
    NullModemEnd(const NullModemEnd&) = delete;
    NullModemEnd& operator=(const NullModemEnd&) = delete;
    // Dropping an end unplugs it, so the other end sees its lines go down.
    ~NullModemEnd() override;

    int GetSettings(SerialSettings& settings) override;
    int SetSettings(const SerialSettings& settings) override;
    int SetTimeouts() override;
    int SetQueueSizes(std::uint32_t inputBytes, std::uint32_t outputBytes) override;
    int SetEventMask(std::uint32_t mask) override;
    void SetEventListener(std::function<void()> listener) override;
    int TakeEvents(std::uint32_t& events) override;
    int Write(const char* data, std::size_t count, int timeoutMs, std::size_t& written) override;
    int Read(char* data, std::size_t count, std::size_t& read) override;
    void Unread(const char* data, std::size_t count) override;
    int ClearError(std::uint32_t& errors, ComStat& stat) override;
    int Purge(std::uint32_t flags) override;
    int EscapeFunction(int function) override;
    int GetModemStatus(std::uint32_t& status) override;
    void Close() override;

    // Rings the other end.
    void SetRing(bool on);
    void HoldOutput(bool hold);
    // Under HoldOutput, lets `count` more bytes go out as a line would.
    void LetThrough(std::size_t count);
    void InjectLineErrors(std::uint32_t ceFlags);
    void InjectBreak();
    void FailNext(Operation op, int error);

    // Every byte that has left this end, in the order it left.
    std::string Written() const;
    std::string Pending() const;
    SerialSettings LastSettings() const;
    int SettingsWrites() const;
    bool Dtr() const;
    bool Rts() const;

private:
    Side& Own() const;
    Side& Peer() const;
    int Admit(Operation op);

    static void SetDtr(Side& side, Side& peer, bool on);
    static void SetRts(Side& side, Side& peer, bool on);
    static void ApplyLineActions(Side& side, Side& peer, const LineActions& actions);
    static void FollowQueues(Side& side, Side& peer);
    static std::uint32_t HoldReasons(const Side& from, const Side& to);
    static bool Receive(Side& to, const Side& from, char byte);
    static bool TransmitOne(Side& from, Side& to);
    static void Settle(Link& link);
    static void Changed(Link& link);

    std::shared_ptr<Link> link_;
    std::size_t side_;
};

} // namespace feedrail::test
