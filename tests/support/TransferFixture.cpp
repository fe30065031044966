#include "support/TransferFixture.h"

#include <algorithm>
#include <chrono>

namespace feedrail::test {

TransferFixture::TransferFixture() {
    host_.ReceivedLines = &state_.ReceivedLines;
    comm_.SetMonitorEvents(AllCommEvents);
    comm_.SetFlowControl(fcNone);
    comm_.SetDTRControl(dtrDisable);
    comm_.SetRTSControl(rtsDisable);
    comm_.SetWriteTimeout(50);
    comm_.OnRxChar = [this](TVaCustomComm&, int count) { receive_.Comm1RxChar(count); };
    comm_.OnError = [this](TVaCustomComm&, int errors) { receive_.Comm1Error(errors); };
}

void TransferFixture::OpenFor(std::int32_t handshake) {
    settings_.CommHandshake = handshake;
    comm_.Open();
    SetHandshakeLines(handshake, comm_);
}

void TransferFixture::StartSend() {
    ASSERT_TRUE(host_.Session.RequestSend(false));
    send_.SendStart();
}

void TransferFixture::MachineSends(const std::string& bytes) {
    std::size_t written = 0;
    comm_.Machine().Write(bytes.data(), bytes.size(), 1000, written);
    ASSERT_EQ(written, bytes.size());
}

void TransferFixture::Deliver() {
    handOver_.RunUntil([this] {
        ComStat stat;
        comm_.GetComStat(stat);
        return stat.cbInQue == 0;
    });
    handOver_.RunUntil([] { return false; }, std::chrono::milliseconds(20));
}

bool TransferFixture::Showed(const std::string& status) const {
    return std::find(host_.Statuses.begin(), host_.Statuses.end(), status) != host_.Statuses.end();
}

} // namespace feedrail::test
