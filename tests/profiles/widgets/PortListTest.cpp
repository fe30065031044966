#include "profiles/widgets/PortList.h"

#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"

#include <QStringList>
#include <filesystem>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::PseudoTerminal;
using test::TempFolder;

QStringList Paths(const std::string& byIdFolder) {
    QStringList paths;
    for (const PortList::Port& port : PortList(QString::fromStdString(byIdFolder)).Ports()) {
        paths << port.path;
    }
    return paths;
}

// Each port the system lists, and a pseudo-terminal it does not, gets a link
// as the system makes them, relative ("../../ttyUSB0"); one link leads
// nowhere, as after its adapter was pulled.
TEST(PortListTest, APortWithALinkInTheByIdFolderIsNamedByTheLink) {
    const PseudoTerminal terminal;
    const TempFolder byId;
    QStringList devices = Paths(byId.Path());
    devices << QString::fromStdString(terminal.SlavePath());
    QStringList links;
    for (const QString& device : devices) {
        links << QString::fromStdString(
            byId.File("usb-Adapter_" + std::to_string(links.size()) + "-if00-port0"));
        std::filesystem::create_symlink(
            std::filesystem::relative(device.toStdString(), byId.Path()),
            links.back().toStdString());
    }
    std::filesystem::create_symlink("../../ttyUSB97", byId.File("usb-Gone-if00-port0"));

    links.sort();
    EXPECT_EQ(Paths(byId.Path()).join(' ').toStdString(), links.join(' ').toStdString());
}

} // namespace
} // namespace feedrail
