#include "service/ShopFloorPages.h"

#include "service/ShopFloorHtml.h"
#include "service/StatusJson.h"
#include "service/TodaysTransfers.h"

#include <algorithm>
#include <chrono>

namespace feedrail {

namespace {

constexpr const char* Json = "application/json; charset=utf-8";
constexpr const char* Html = "text/html; charset=utf-8";

void Reply(httplib::Response& response, const std::string& body, const char* type) {
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Content-Security-Policy",
                        "default-src 'none'; script-src 'unsafe-inline'; "
                        "style-src 'unsafe-inline'; connect-src 'self'");
    response.set_content(body, type);
}

void NotFound(httplib::Response& response, const std::string& machine) {
    response.status = 404;
    Reply(response, "{\"error\":" + JsonString("no machine " + machine) + "}\n", Json);
}

} // namespace

bool ShopFloorPages::Known(const std::string& machine) const {
    const std::vector<MachineStatus> statuses = statuses_();
    return std::any_of(statuses.begin(), statuses.end(),
                       [&](const MachineStatus& status) { return status.Machine == machine; });
}

// The library decodes a path before routing, "%2F" too: a machine's name
// runs to the fixed end of its route, slashes and all.
void ShopFloorPages::Route(httplib::Server& server) const {
    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        Reply(response, ShopFloorPage(), Html);
    });
    server.Get("/api/machines",
               [pages = *this](const httplib::Request&, httplib::Response& response) {
                   Reply(response, MachinesJson(pages.statuses_()), Json);
               });
    server.Get(R"(/api/machines/(.+)/transfers)", [pages = *this](const httplib::Request& request,
                                                                  httplib::Response& response) {
        const std::string machine = request.matches[1];
        if (!pages.Known(machine)) {
            return NotFound(response, machine);
        }
        Reply(response,
              TodaysTransfersJson(pages.transferLog_, machine, std::chrono::system_clock::now()),
              Json);
    });
    server.Get(R"(/machine/(.+))",
               [pages = *this](const httplib::Request& request, httplib::Response& response) {
                   const std::string machine = request.matches[1];
                   if (!pages.Known(machine)) {
                       return NotFound(response, machine);
                   }
                   Reply(response, MachinePage(), Html);
               });
    server.Get(R"(/api/machines/(.+)/line)",
               [pages = *this](const httplib::Request& request, httplib::Response& response) {
                   const std::string machine = request.matches[1];
                   const std::string watch = request.get_param_value("watch");
                   // A watch names its machine; a new one asks after it.
                   if (watch.empty() && !pages.Known(machine)) {
                       return NotFound(response, machine);
                   }
                   const WebMonitors::Answer answer = pages.monitors_->Poll(machine, watch);
                   response.status = answer.Status;
                   Reply(response, answer.Json, Json);
               });
}

} // namespace feedrail
