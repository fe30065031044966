#pragma once

#include "service/JournalLog.h"
#include "service/ServedMachine.h"

#include <chrono>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace feedrail {

// Every machine of one DNC.ini whose Auto Receive or Remote Request is on,
// served at once on a few shared loops; what may wait on a folder runs on
// the file threads, so that one machine's trouble does not hold another.
class DncService {
public:
    DncService(std::string profileFolder, JournalLog& log);
    ~DncService();
    DncService(const DncService&) = delete;
    DncService& operator=(const DncService&) = delete;

    // Reads DNC.ini and serves what it says now: machines added are started,
    // those removed or changed are stopped (and changed ones started anew),
    // the others go on undisturbed. A machine whose port another machine
    // of the file has is not served. A DNC.ini that cannot be read leaves
    // everything as it was and raises its error.
    void Load();
    // A machine changed in DNC.ini is still served as it was, until its
    // transfer ends: Load is to be called again.
    bool ReloadWaits() const;
    // Stops every machine.
    void Stop();
    // One line per machine of DNC.ini, served or not, in file order; within
    // about StatusWait however busy the machines are.
    std::string StatusText() const;
    // The same, as facts.
    std::vector<MachineStatus> Statuses() const;
    // Any thread: a watch of the line of the machine named, which ends when
    // the machine stops being served as it is (the service stops, DNC.ini
    // changes it). Its queue keeps at most `limit`.
    LineWatch Watch(const std::string& machine,
                    std::size_t limit = TrafficQueue::DefaultLimit) const;

    static constexpr std::chrono::milliseconds StatusWait{200};
    // The threads that compare the programs filed, for every machine, and
    // the most comparisons waiting for them.
    static constexpr std::size_t ComparisonThreads = 2;
    static constexpr std::size_t MostComparisonsWaiting = 256;
    // The threads that do each machine's work that may wait on a folder.
    static constexpr std::size_t FileThreads = 4;
    // The loops that serve the machines: one a processor, 2 to 4.
    static std::size_t MachineLoops();

private:
    std::string RefusedBefore(const std::string& machine) const;
    std::vector<std::shared_ptr<ServedMachine>>
    StopWhenIdle(const std::vector<std::shared_ptr<ServedMachine>>& changed,
                 std::map<std::string, std::shared_ptr<ServedMachine>>& kept);

    std::string profileFolder_;
    JournalLog& log_;
    // Before the machines, which post to it until they stop.
    TaskPool comparisons_{ComparisonThreads, MostComparisonsWaiting};
    // A machine's file work is never dropped: what bounds it is the
    // machine's own.
    TaskPool files_{FileThreads, std::numeric_limits<std::size_t>::max()};
    LoopPool loops_{MachineLoops()};
    mutable std::mutex mutex_;
    // The machines of DNC.ini in file order, and those served by name.
    std::vector<MachineConfig> configs_;
    std::map<std::string, std::shared_ptr<ServedMachine>> served_;
    // Machines not served, and why.
    std::map<std::string, std::string> refused_;
    // Changed machines served as they were until their transfers end.
    std::set<std::string> waiting_;
};

// A machine's status line, its fields separated by tabs: "Mill 1<TAB>COM2
// <TAB>listening<TAB>last: receive /nc/O1234.nc (240 lines): completed at ...".
std::string MachineStatusLine(const MachineStatus& status);

} // namespace feedrail
