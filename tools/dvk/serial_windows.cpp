// A serial scanner on a COM port: opened with the profile's line settings, every read one chunk to the link
// with its arrival time, the port's name as device id.
#include <windows.h>

#include <utility>

#include "input_source.h"
#include "platform.h"
#include "texts.h"

namespace {

class ComPort final : public InputSource {
  public:
    ComPort(HANDLE handle, std::string name, const PortSettings& port)
        : handle_(handle), name_(std::move(name)), port_(port) {}
    ~ComPort() override { CloseHandle(handle_); }
    bool feed(dvkh_link* link, dvk_decoder* decoder) override { return feedWithin(link, decoder, 0); }
    // A read returns at once with what the driver holds, or with the first byte to come within the time-out.
    bool feedWithin(dvkh_link* link, dvk_decoder* /*decoder*/, int timeoutMs) override {
        const DWORD wait = timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) : 1;
        if (wait != waitMs_) {
            COMMTIMEOUTS timeouts = {MAXDWORD, MAXDWORD, wait, 0, 0};
            if (!SetCommTimeouts(handle_, &timeouts)) return false;
            waitMs_ = wait;
        }
        char chunk[4096];
        DWORD n = 0;
        if (!ReadFile(handle_, chunk, sizeof chunk, &n, nullptr)) return false; // the port is gone
        if (n > 0) {
            dvkh_link_bytes(link, chunk, static_cast<int32_t>(n), monotonicMs());
            return true;
        }
        // A line whose far end hung up may still answer reads, with nothing (Wine's ports over a terminal
        // do); its state can no longer be read.
        COMSTAT status;
        DWORD errors = 0;
        return ClearCommError(handle_, &errors, &status) != 0;
    }
    uint64_t nowMs() const override { return monotonicMs(); }
    const std::string& deviceId() const override { return name_; }
    const char* transport() const override { return "serial"; }
    std::string description() const override { return name_ + ", " + describePort(port_); }

  protected:
    std::string settings() const override { return portMembers(port_); }

  private:
    HANDLE handle_;
    std::string name_;
    PortSettings port_;
    DWORD waitMs_ = 0;
};

} // namespace

bool namesSerialPort(const std::string& option) { return option == "--com" || option == "--serial"; }

std::unique_ptr<InputSource> openSerial(const std::string& name, const PortSettings& port,
                                        std::string& error) {
    if (error = portSettingsProblem(port); !error.empty()) return nullptr;
    // COM10 and above open only by their device name.
    const std::string path = name.rfind("\\\\", 0) == 0 ? name : "\\\\.\\" + name;
    const HANDLE handle = CreateFileW(platform::pathOf(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = dvkhost::text("device.cannotOpen", {name, platform::systemError(GetLastError())});
        return nullptr;
    }
    DCB line = {};
    line.DCBlength = sizeof line;
    GetCommState(handle, &line);
    line.BaudRate = static_cast<DWORD>(port.baud);
    line.ByteSize = static_cast<BYTE>(port.dataBits);
    line.Parity = port.parity == 'E' ? EVENPARITY : port.parity == 'O' ? ODDPARITY : NOPARITY;
    line.StopBits = port.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    line.fBinary = TRUE;
    line.fParity = line.Parity != NOPARITY;
    line.fOutxCtsFlow = port.rtsCts;
    line.fRtsControl = port.rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    line.fDtrControl = DTR_CONTROL_ENABLE; // many scanners take power or "ready" from DTR
    line.fOutX = line.fInX = FALSE;
    line.fNull = FALSE;
    line.fAbortOnError = FALSE;
    if (!SetCommState(handle, &line)) {
        error = dvkhost::text("serial.cannotSetUp",
                              {name, describePort(port), platform::systemError(GetLastError())});
        CloseHandle(handle);
        return nullptr;
    }
    PurgeComm(handle, PURGE_RXCLEAR); // what lay in the buffer was read with other settings
    return std::make_unique<ComPort>(handle, name, port);
}
