// A serial scanner: the port opened with the profile's line settings, every read one chunk to the link with
// its arrival time, the port path as device id.
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "cli.h"
#include "input_source.h"
#include "texts.h"

namespace {

std::optional<speed_t> baudConstant(int baud) {
    static const std::pair<int, speed_t> table[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},
#ifdef B460800
        {460800, B460800},   {500000, B500000},   {576000, B576000},   {921600, B921600},
        {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
        {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
#endif
    };
    for (const auto& [value, constant] : table)
        if (value == baud) return constant;
    return std::nullopt;
}

class SerialPort final : public InputSource {
  public:
    SerialPort(int fd, std::string path, const PortSettings& port, bool tty, const struct termios& saved)
        : fd_(fd), path_(std::move(path)), port_(port), tty_(tty), saved_(saved) {}
    ~SerialPort() override {
        if (tty_) tcsetattr(fd_, TCSANOW, &saved_);
        close(fd_);
    }
    int fd() const override { return fd_; }
    bool feed(dvkh_link* link, dvk_decoder* /*decoder*/) override {
        char chunk[4096];
        const ssize_t n = read(fd_, chunk, sizeof chunk);
        if (n < 0) return errno == EAGAIN || errno == EINTR; // EIO: the other end of the line hung up
        if (n == 0) return false;
        dvkh_link_bytes(link, chunk, static_cast<int32_t>(n), monotonicMs());
        return true;
    }
    uint64_t nowMs() const override { return monotonicMs(); }
    const std::string& deviceId() const override { return path_; }
    const char* transport() const override { return "serial"; }
    std::string description() const override {
        return path_ + (tty_ ? ", " + describePort(port_) : dvkhost::text("serial.notTerminal"));
    }

  protected:
    std::string settings() const override { return portMembers(port_); }

  private:
    int fd_;
    std::string path_;
    PortSettings port_;
    bool tty_;
    struct termios saved_;
};

} // namespace

bool namesSerialPort(const std::string& option) { return option == "--serial"; }

std::unique_ptr<InputSource> openSerial(const std::string& path, const PortSettings& port,
                                        std::string& error) {
    const std::optional<speed_t> speed = baudConstant(port.baud);
    if (!speed) {
        error = dvkhost::text("serial.noBaud", {std::to_string(port.baud)});
        return nullptr;
    }
    if (error = portSettingsProblem(port); !error.empty()) return nullptr;
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0) {
        error = dvkhost::text("device.cannotOpen", {path, std::strerror(errno)});
        return nullptr;
    }
    if (S_ISDIR(info.st_mode)) {
        error = dvkhost::text("serial.directory", {path});
        return nullptr;
    }
    const bool device = S_ISCHR(info.st_mode);
    // A port opens without waiting for carrier; a FIFO waits for its writer.
    const int fd =
        open(path.c_str(), device ? O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC : O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = dvkhost::text("device.cannotOpen", {path, std::strerror(errno)});
        return nullptr;
    }
    struct termios saved = {};
    const bool tty = device && tcgetattr(fd, &saved) == 0;
    if (tty) {
        struct termios line = saved;
        cfmakeraw(&line);
        cfsetispeed(&line, *speed);
        cfsetospeed(&line, *speed);
        static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
        line.c_cflag = (line.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS)) |
                       sizes[port.dataBits - 5] | CLOCAL | CREAD;
        if (port.parity == 'E' || port.parity == 'O') {
            line.c_cflag |= PARENB | (port.parity == 'O' ? PARODD : 0);
            line.c_iflag |= INPCK;
        }
        if (port.stopBits == 2) line.c_cflag |= CSTOPB;
        if (port.rtsCts) line.c_cflag |= CRTSCTS;
        line.c_cc[VMIN] = 1;
        line.c_cc[VTIME] = 0;
        if (tcsetattr(fd, TCSANOW, &line) != 0) {
            error = dvkhost::text("serial.cannotSetUp", {path, describePort(port), std::strerror(errno)});
            close(fd);
            return nullptr;
        }
        tcflush(fd, TCIFLUSH); // what lay in the buffer was read with other settings
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    return std::make_unique<SerialPort>(fd, path, port, tty, saved);
}
