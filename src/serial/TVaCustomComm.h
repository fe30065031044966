#pragma once

#include "common/ProgramDirectory.h"
#include "serial/EventHandOver.h"
#include "serial/TVaEventChars.h"
#include "serial/TVaTypes.h"
#include "serial/device/SerialDevice.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace feedrail {

// A serial port driven through properties: every setting is a property with
// a default, settings changed while the port is open reach the device at
// once, and every failure raises EVaCommError. Device events arrive as the
// On... handlers, on the owner's thread: the device's listener posts one
// dispatch through the hand-over for each batch of events, and nothing
// waits for it to run.
class TVaCustomComm {
public:
    using NotifyEvent = std::function<void(TVaCustomComm& sender)>;
    using ErrorEvent = std::function<void(TVaCustomComm& sender, int errors)>;
    using RxCharEvent = std::function<void(TVaCustomComm& sender, int count)>;

    // `programDir` is where com<N> links are looked for (see ResolveDevicePath).
    explicit TVaCustomComm(EventHandOver& handOver, std::string programDir = ProgramDirectory());
    TVaCustomComm(const TVaCustomComm&) = delete;
    TVaCustomComm& operator=(const TVaCustomComm&) = delete;
    virtual ~TVaCustomComm();

    void Open();
    void Close();
    bool Active() const { return device_ != nullptr; }

    int WriteBuf(const char* buf, int count);
    // Hands `count` bytes to the device without waiting for the line: they
    // go out in order as flow control and the line allow.
    void QueueBuf(const char* buf, std::size_t count);
    // Bytes written and not yet sent (0 without a device).
    std::size_t OutputQueued();
    int ReadBuf(char* buf, int count);
    // Puts bytes read back, ahead of those still waiting; nothing when closed.
    void UnreadBuf(const char* buf, int count);
    void GetComStat(ComStat& stat);
    // Whether what was written has got past this end (SerialDevice::
    // OutputDelivered); true without a device. A device that has gone says
    // no: its loss is reported as an error event of its own.
    bool OutputDelivered();
    void PurgeRead();
    void PurgeWrite();
    void PurgeReadWrite();
    void SetDTR(bool value);
    void SetRTS(bool value);
    void SetXon(bool value);
    // Asks the driver to pass received bytes on at once; false when the
    // device has no such setting or refuses it.
    bool SetLowLatency();
    // Keeps what crosses the line each way, raw with its times, for a line
    // monitor: from now on and at every opening, until switched off, which
    // drops what was kept.
    void WatchLine(bool on);
    // What crossed the line since the last take, oldest first, across
    // closings and openings; `dropped` is told the bytes lost to the bound
    // of what is kept (LineTap) meanwhile.
    std::vector<TappedBytes> TakeLineTraffic(std::uint64_t& dropped);
    std::uint32_t GetModemStatus();
    bool GetModemState(int index);
    // The modem lines a handshake reads: the machine's RTS and DTR.
    bool Cts() { return GetModemState(1); }
    bool Dsr() { return GetModemState(2); }

    // The device path: DeviceName with PortNum in place of its "%d".
    std::string GetDeviceName() const;
    // The file the port opens: a com<N> link beside the program, or a device.
    std::string DevicePath() const;
    // What the last open opened: the path, and the device a link led to then
    // (the link may be gone by the time the device is).
    struct OpenedDevice {
        std::string Path;
        std::string Device;
    };
    const OpenedDevice& Opened() const { return opened_; }
    // Why the open device has gone, when it can tell (a network connection).
    std::string GoneReason() const;
    // The open device is still being reached (SerialDevice::Connecting):
    // OnReached, or OnError with its going, tells how that ends.
    bool Connecting() const;
    // The device opened last was reached, at once or later; a going before
    // that is a connection that could not be made.
    bool Reached() const { return reached_; }

    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool value) { autoOpen_ = value; }
    TVaBaudrate Baudrate() const { return baudrate_; }
    void SetBaudrate(TVaBaudrate value) { StoreAndApply(baudrate_, value); }
    // The rate the line runs at.
    std::uint32_t BitsPerSecond() const;
    // A rate of its own in bits per second, used instead of Baudrate when not 0.
    std::uint32_t CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(std::uint32_t value) { StoreAndApply(customBaudRate_, value); }
    TVaParity Parity() const { return parity_; }
    void SetParity(TVaParity value) { StoreAndApply(parity_, value); }
    TVaDatabits Databits() const { return databits_; }
    void SetDatabits(TVaDatabits value) { StoreAndApply(databits_, value); }
    TVaStopbits Stopbits() const { return stopbits_; }
    void SetStopbits(TVaStopbits value) { StoreAndApply(stopbits_, value); }
    int PortNum() const { return portNum_; }
    void SetPortNum(int value) { StoreWhileClosed(portNum_, value); }
    const std::string& DeviceName() const { return deviceName_; }
    // Another name forgets the link the port last opened through.
    void SetDeviceName(std::string value) {
        if (value != deviceName_) {
            linkOpened_.clear();
        }
        deviceName_ = std::move(value);
    }
    // Whether open failures name the device and the reason ("Can't open
    // device /dev/ttyUSB0: Permission denied") rather than the port number.
    bool NameByDevice() const { return nameByDevice_; }
    void SetNameByDevice(bool value) { nameByDevice_ = value; }
    TVaCommEvents MonitorEvents() const { return monitorEvents_; }
    void SetMonitorEvents(TVaCommEvents value) { StoreWhileClosed(monitorEvents_, value); }
    TVaEventChars& EventChars() { return eventChars_; }
    void SetEventChars(const TVaEventChars& value) { eventChars_.Assign(value); }
    int ReadBufSize() const { return readBufSize_; }
    void SetReadBufSize(int value) { StoreWhileClosed(readBufSize_, value); }
    int WriteBufSize() const { return writeBufSize_; }
    void SetWriteBufSize(int value) { StoreWhileClosed(writeBufSize_, value); }
    int ReadTimeout() const { return readTimeout_; }
    void SetReadTimeout(int value) { readTimeout_ = value; }
    int WriteTimeout() const { return writeTimeout_; }
    void SetWriteTimeout(int value) { writeTimeout_ = value; }
    // Whether the machine's XOFF holds the output (and its XON frees it)
    // while both still arrive as data; set afresh, the output is free.
    bool XoffHoldsOutput() const { return xoffHoldsOutput_; }
    void SetXoffHoldsOutput(bool value);
    TVaFlowControl FlowControl() const { return flowControl_; }
    void SetFlowControl(TVaFlowControl value) { StoreAndApply(flowControl_, value); }
    TVaCommOptions Options() const { return options_; }
    void SetOptions(TVaCommOptions value) { StoreAndApply(options_, value); }
    int XonLim() const { return xonLim_; }
    void SetXonLim(int value) { StoreAndApply(xonLim_, value); }
    int XoffLim() const { return xoffLim_; }
    void SetXoffLim(int value) { StoreAndApply(xoffLim_, value); }
    TThreadPriority Priority() const { return priority_; }
    void SetPriority(TThreadPriority value) { StoreWhileClosed(priority_, value); }
    TVaDTRControl DTRControl() const { return dtrControl_; }
    void SetDTRControl(TVaDTRControl value) { StoreAndApply(dtrControl_, value); }
    TVaRTSControl RTSControl() const { return rtsControl_; }
    void SetRTSControl(TVaRTSControl value) { StoreAndApply(rtsControl_, value); }

    // The flag word of the settings record for the current properties.
    std::uint32_t SettingsFlags() const;

    NotifyEvent OnOpen;
    NotifyEvent OnReached;
    NotifyEvent OnClose;
    NotifyEvent OnCts;
    NotifyEvent OnDsr;
    NotifyEvent OnRlsd;
    NotifyEvent OnRing;
    NotifyEvent OnBreak;
    NotifyEvent OnRxFlag;
    NotifyEvent OnTxEmpty;
    ErrorEvent OnError;
    RxCharEvent OnRxChar;

protected:
    // Opens the device of GetDeviceName(); raises the open-failure messages.
    virtual std::shared_ptr<SerialDevice> OpenDevice();
    virtual void HandleRxChar();
    virtual void HandleCommEvent(std::uint32_t mask);

private:
    // What a posted dispatch finds: the port while this opening of it lasts.
    struct Relay {
        TVaCustomComm* Comm;
    };

    template <typename T> void StoreAndApply(T& field, T value) {
        if (!(field == value)) {
            field = value;
            ApplySettings();
        }
    }
    template <typename T> void StoreWhileClosed(T& field, T value) {
        if (field == value) {
            return;
        }
        ThrowIfOpen();
        field = value;
    }

    void ThrowIfOpen() const;
    [[noreturn]] void ThrowOpenFailure(const std::string& name, const std::string& path,
                                       int error) const;
    void ApplySettings();
    void SetupTimeouts();
    void SetupBuffers();
    std::uint32_t GetEventMask() const;
    void SetEventMask(std::uint32_t mask);
    void ListenToDevice();
    static void PostDispatch(const std::shared_ptr<Relay>& relay, EventHandOver& handOver);
    void DispatchEvents();
    void RunHandlers(std::uint32_t mask, const std::shared_ptr<Relay>& relay);
    void CloseDevice();
    void KeepLineTraffic();
    void Purge(std::uint32_t flags);
    void EscapeComm(int function);

    EventHandOver& handOver_;
    std::string programDir_;
    OpenedDevice opened_;
    // The com<N> link the port last opened through, if it did.
    std::string linkOpened_;
    // Errors a queue count cleared before their event was handled.
    std::uint32_t unreportedErrors_ = 0;
    std::recursive_mutex lock_;
    std::shared_ptr<SerialDevice> device_;
    std::shared_ptr<Relay> relay_;
    bool dispatching_ = false;
    // A dispatch came while one ran: it is posted again when that one ends.
    bool dispatchDeferred_ = false;
    bool destroying_ = false;
    bool watchingLine_ = false;
    // What a device that closed had kept and nobody had taken.
    LineTap closedTap_;

    bool autoOpen_ = false;
    bool reached_ = false;
    TVaBaudrate baudrate_ = br1200;
    std::uint32_t customBaudRate_ = 0;
    TVaParity parity_ = paNone;
    TVaDatabits databits_ = db8;
    TVaStopbits stopbits_ = sb1;
    int portNum_ = 0;
    std::string deviceName_ = "COM%d";
    bool nameByDevice_ = false;
    TVaCommEvents monitorEvents_;
    TVaEventChars eventChars_;
    int readBufSize_ = 4096;
    int writeBufSize_ = 2048;
    int readTimeout_ = 1000;
    int writeTimeout_ = 1000;
    TVaFlowControl flowControl_ = fcRtsCts;
    bool xoffHoldsOutput_ = false;
    TVaCommOptions options_;
    int xonLim_ = 1024;
    int xoffLim_ = 1024;
    TThreadPriority priority_ = tpNormal;
    TVaDTRControl dtrControl_ = dtrEnable;
    TVaRTSControl rtsControl_ = rtsEnable;
};

} // namespace feedrail
