// A bar code scanner in HID-POS mode, read from /dev/hidrawN, or from a FIFO or file of its input reports
// (the descriptor then comes from --hid-descriptor). The host kit's link reads the layout from the report
// descriptor and turns each report of scanned data into one byte chunk with its arrival time: the AIM
// identifier before a code's first chunk when the profile keeps identifiers (always while setting up), the
// terminator after its last, where the report says no more follow.
//
// The device hands over one report a read, its report id byte first when the descriptor numbers reports. A
// recording is those reads one after another; a FIFO may split them anywhere.
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "cli.h"
#include "input_source.h"
#include "texts.h"

namespace {

class HidPosInput final : public InputSource {
  public:
    HidPosInput(int fd, std::string path, std::string name, bool device, std::string descriptor,
                bool numbered)
        : fd_(fd), path_(std::move(path)), name_(std::move(name)), device_(device),
          descriptor_(std::move(descriptor)), numbered_(numbered) {}
    ~HidPosInput() override { close(fd_); }
    int fd() const override { return fd_; }
    void attach(dvkh_link* link) override {
        dvkh_link_hid_pos_descriptor(link, descriptor_.data(), static_cast<int32_t>(descriptor_.size()));
    }
    bool feed(dvkh_link* link, dvk_decoder* /*decoder*/) override {
        char buffer[4096];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n < 0) return errno == EAGAIN || errno == EINTR; // ENODEV: unplugged
        if (n == 0) return false;
        const uint64_t t = monotonicMs();
        if (!device_) {
            dvkh_link_hid_pos_stream(link, buffer, static_cast<int32_t>(n), t);
        } else if (numbered_) {
            dvkh_link_hid_pos_report(link, static_cast<uint8_t>(buffer[0]), buffer + 1,
                                     static_cast<int32_t>(n - 1), t);
        } else {
            dvkh_link_hid_pos_report(link, 0, buffer, static_cast<int32_t>(n), t);
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
    int fd_;
    std::string path_;
    std::string name_;
    bool device_;
    std::string descriptor_;
    bool numbered_;
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

std::vector<HidPosScanner> hidPosScanners() { return {}; }

std::unique_ptr<InputSource> openHidPos(const std::string& path, const std::string& descriptorPath,
                                        std::string& error) {
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
    // The descriptor is tried on a link of its own now, so that a bad one is told before anything is read.
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> scratch(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    const std::unique_ptr<dvkh_link, decltype(&dvkh_link_free)> trial(dvkh_link_new(scratch.get(), "", 0),
                                                                      &dvkh_link_free);
    const int32_t status = dvkh_link_hid_pos_descriptor(trial.get(), descriptor->data(),
                                                        static_cast<int32_t>(descriptor->size()));
    if (status != 1) {
        error = dvkhost::text(status == 0 ? "hidpos.notHidPos" : "hidpos.corrupt",
                              {descriptorPath.empty() ? path : descriptorPath});
        close(fd);
        return nullptr;
    }
    // The scanned-data report takes id 0 only when the descriptor numbers no reports; then a read carries no
    // id byte.
    const bool numbered = dvkh_link_hid_pos_report_id(trial.get()) > 0;
    char name[256] = {};
    const bool named = ioctl(fd, HIDIOCGRAWNAME(sizeof name - 1), name) > 0;
    const bool device = fstat(fd, &info) == 0 && S_ISCHR(info.st_mode);
    return std::make_unique<HidPosInput>(fd, path, named ? std::string(name) : std::string(), device,
                                         std::move(*descriptor), numbered);
}
