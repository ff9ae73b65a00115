// A bar code scanner in HID-POS mode, read from /dev/hidrawN, or from a FIFO or file of its input reports
// (the descriptor then comes from --hid-descriptor). Each report of scanned data becomes one byte chunk with
// its arrival time, as a serial scanner's reads do: the AIM identifier before a code's first chunk when the
// profile keeps identifiers, and the terminator after its last, where the report says no more follow.
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "cli.h"
#include "hid_pos_report.h"
#include "input_source.h"
#include "texts.h"

namespace {

class HidPosInput final : public InputSource {
  public:
    HidPosInput(int fd, std::string path, std::string name, bool device, ScannedDataLayout layout,
                bool aimIds, std::string terminator)
        : fd_(fd), path_(std::move(path)), name_(std::move(name)), device_(device),
          layout_(std::move(layout)), aimIds_(aimIds), terminator_(std::move(terminator)) {}
    ~HidPosInput() override { close(fd_); }
    int fd() const override { return fd_; }
    bool feed(dvk_decoder* decoder) override {
        char buffer[4096];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n < 0) return errno == EAGAIN || errno == EINTR; // ENODEV: unplugged
        if (n == 0) return false;
        const uint64_t t = monotonicMs();
        dvk_decoder_tick(decoder, t);
        if (device_) { // the kernel hands over one report a read
            report(decoder, std::string_view(buffer, static_cast<size_t>(n)), t);
            return true;
        }
        pending_.append(buffer, static_cast<size_t>(n));
        for (size_t size; !pending_.empty() && (size = sizeOfNext()) <= pending_.size();) {
            if (size == 0) { // no report of the descriptor starts so: what is left cannot be split
                pending_.clear();
                break;
            }
            report(decoder, std::string_view(pending_).substr(0, size), t);
            pending_.erase(0, size);
        }
        return true;
    }
    uint64_t nowMs() const override { return monotonicMs(); }
    const std::string& deviceId() const override { return path_; }
    const char* transport() const override { return "hid"; }
    std::string deviceName() const override { return name_; }
    std::string description() const override {
        return path_ + (name_.empty() ? "" : " «" + name_ + "»") + dvkhost::text("hidpos.mode");
    }

  private:
    size_t sizeOfNext() const {
        const bool numbered = layout_.reportId != 0;
        const uint8_t id = numbered ? static_cast<uint8_t>(pending_[0]) : 0;
        for (const auto& [reportId, bytes] : layout_.inputReportBytes)
            if (reportId == id) return bytes + numbered;
        return 0;
    }
    void report(dvk_decoder* decoder, std::string_view bytes, uint64_t t) {
        const std::optional<ScannedData> scanned = scannedDataOf(layout_, bytes);
        if (!scanned) return;
        std::string chunk = !inCode_ && aimIds_ ? scanned->aim : "";
        chunk += scanned->data;
        inCode_ = scanned->continued;
        if (!inCode_) chunk += terminator_;
        if (!chunk.empty())
            dvk_decoder_feed_bytes(decoder, chunk.data(), static_cast<int32_t>(chunk.size()), path_.c_str(),
                                   t);
    }

    int fd_;
    std::string path_;
    std::string name_;
    bool device_;
    ScannedDataLayout layout_;
    bool aimIds_;
    std::string terminator_;
    std::string pending_;
    bool inCode_ = false;
};

// The descriptor as the kernel read it from the device, or from sysfs for the same hidraw node.
std::optional<std::string> deviceDescriptor(int fd, const std::string& path) {
    int size = 0;
    struct hidraw_report_descriptor descriptor = {};
    if (ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
        descriptor.size = static_cast<uint32_t>(size);
        if (ioctl(fd, HIDIOCGRDESC, &descriptor) == 0)
            return std::string(reinterpret_cast<const char*>(descriptor.value), descriptor.size);
    }
    const std::string node = path.substr(path.rfind('/') + 1);
    return readFile("/sys/class/hidraw/" + node + "/device/report_descriptor");
}

} // namespace

std::unique_ptr<InputSource> openHidPos(const std::string& path, const std::string& descriptorPath,
                                        bool aimIds, const std::string& terminator, std::string& error) {
    struct stat info = {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        error = dvkhost::text("hidpos.directory", {path});
        return nullptr;
    }
    std::optional<std::string> descriptor;
    if (!descriptorPath.empty()) {
        std::string why;
        descriptor = readFile(descriptorPath, &why);
        if (!descriptor) {
            error = dvkhost::text("hidpos.cannotReadDescriptor", {descriptorPath, why});
            return nullptr;
        }
    }
    // Blocking open: a FIFO waits here for its writer (Ctrl+C interrupts).
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = dvkhost::text(errno == EACCES ? "hidpos.cannotOpenAccess" : "device.cannotOpen",
                              {path, std::strerror(errno)});
        return nullptr;
    }
    if (!descriptor) descriptor = deviceDescriptor(fd, path);
    if (!descriptor) {
        error = dvkhost::text("hidpos.noDescriptor", {path});
        close(fd);
        return nullptr;
    }
    std::optional<ScannedDataLayout> layout = scannedDataLayoutOf(*descriptor);
    if (!layout) {
        error = dvkhost::text("hidpos.notHidPos", {descriptorPath.empty() ? path : descriptorPath});
        close(fd);
        return nullptr;
    }
    char name[256] = {};
    const bool named = ioctl(fd, HIDIOCGRAWNAME(sizeof name - 1), name) > 0;
    const bool device = fstat(fd, &info) == 0 && S_ISCHR(info.st_mode);
    return std::make_unique<HidPosInput>(fd, path, named ? std::string(name) : std::string(), device,
                                         std::move(*layout), aimIds, terminator.empty() ? "\r" : terminator);
}
