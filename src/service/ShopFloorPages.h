#pragma once

#include "service/ServedMachine.h"

#include <functional>
#include <httplib.h>
#include <string>
#include <vector>

namespace feedrail {

// The read-only web pages of the service: "/" a row per machine, live;
// "/machine/NAME" one machine with today's transfers; and the JSON they
// poll, "/api/machines" and "/api/machines/NAME/transfers". A machine not
// in DNC.ini is 404. The pages load nothing from elsewhere and put text
// from files into the page only as text.
class ShopFloorPages {
public:
    using Statuses = std::function<std::vector<MachineStatus>()>;

    // `transferLog`: the path of the transfer log the machines write.
    ShopFloorPages(Statuses statuses, std::string transferLog)
        : statuses_(std::move(statuses)), transferLog_(std::move(transferLog)) {}

    // The handlers keep copies of what they need: the pages may go first.
    void Route(httplib::Server& server) const;

private:
    bool Known(const std::string& machine) const;

    Statuses statuses_;
    std::string transferLog_;
};

} // namespace feedrail
