#pragma once

#include "service/ServedMachine.h"
#include "service/WebMonitors.h"

#include <functional>
#include <httplib.h>
#include <memory>
#include <string>
#include <vector>

namespace feedrail {

// The read-only web pages of the service: "/" a row per machine, live;
// "/machine/NAME" one machine with today's transfers and its line monitor;
// and the JSON they poll, "/api/machines", "/api/machines/NAME/transfers"
// and "/api/machines/NAME/line?watch=W" (WebMonitors). A machine not in
// DNC.ini is 404; a name is percent-encoded in a path, "/" and all. The
// pages load nothing from elsewhere and put text from files and bytes from
// the line into the page only as text.
class ShopFloorPages {
public:
    using Statuses = std::function<std::vector<MachineStatus>()>;

    // `transferLog`: the path of the transfer log the machines write. Raises
    // std::system_error when the monitors' thread cannot start.
    ShopFloorPages(Statuses statuses, WebMonitors::Watch watch, std::string transferLog)
        : statuses_(std::move(statuses)),
          monitors_(std::make_shared<WebMonitors>(std::move(watch))),
          transferLog_(std::move(transferLog)) {}

    // The handlers keep copies of what they need: the pages may go first.
    void Route(httplib::Server& server) const;

private:
    bool Known(const std::string& machine) const;

    Statuses statuses_;
    std::shared_ptr<WebMonitors> monitors_;
    std::string transferLog_;
};

} // namespace feedrail
