// A bar code scanner in HID-POS mode on Windows, opened by its device path (\\?\HID#VID_...) through the HID
// API. Windows keeps the report descriptor to itself and hands over its parser's capabilities: they go to the
// link as WebHID collections (hid_caps.h). Where each field starts the capabilities do not say, so it is
// found by setting the field in an empty report; that places the padding between fields.
//
// Every read is one input report of the longest size, its report id byte first (0 when the device numbers
// none). A recording of reads (--hidraw FILE with --hid-descriptor FILE) is read as on Linux.
#include <windows.h>
// After windows.h, which they need; MinGW's HID headers declare C functions without saying so.
extern "C" {
#include <hidsdi.h>
}
#include <setupapi.h>

#include <memory>
#include <utility>
#include <vector>

#include "cli.h"
#include "hid_caps.h"
#include "input_source.h"
#include "platform.h"
#include "texts.h"

namespace {

constexpr USAGE kHidPosPage = 0x8C;

std::string utf8Of(const wchar_t* wide) {
    const int length = static_cast<int>(wcslen(wide));
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, wide, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

bool isDevicePath(const std::string& path) {
    return path.rfind("\\\\?\\", 0) == 0 || path.rfind("\\\\.\\", 0) == 0;
}

struct Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE release() { return std::exchange(h, INVALID_HANDLE_VALUE); }
};

struct Preparsed {
    PHIDP_PREPARSED_DATA data = nullptr;
    explicit Preparsed(HANDLE device) {
        if (!HidD_GetPreparsedData(device, &data)) data = nullptr;
    }
    ~Preparsed() {
        if (data != nullptr) HidD_FreePreparsedData(data);
    }
    Preparsed(const Preparsed&) = delete;
    Preparsed& operator=(const Preparsed&) = delete;
};

std::string productName(HANDLE device) {
    wchar_t name[127] = {}; // the most a USB string descriptor holds, and its terminator
    if (!HidD_GetProductString(device, name, sizeof name - sizeof name[0])) return "";
    return utf8Of(name);
}

// The first bit (after the id byte) that setting one field changes in an empty report of its id.
template <typename Set>
std::optional<uint32_t> probe(PHIDP_PREPARSED_DATA data, UCHAR reportId, size_t reportBytes, Set set) {
    std::vector<char> empty(reportBytes), report(reportBytes);
    if (HidP_InitializeReportForID(HidP_Input, reportId, data, empty.data(),
                                   static_cast<ULONG>(reportBytes)) != HIDP_STATUS_SUCCESS)
        return std::nullopt;
    report = empty;
    if (set(report.data(), static_cast<ULONG>(reportBytes)) != HIDP_STATUS_SUCCESS) return std::nullopt;
    for (size_t i = 1; i < reportBytes; ++i)
        if (const unsigned changed = static_cast<unsigned char>(empty[i] ^ report[i]); changed != 0)
            for (uint32_t bit = 0; bit < 8; ++bit)
                if ((changed >> bit & 1) != 0) return static_cast<uint32_t>((i - 1) * 8 + bit);
    return std::nullopt;
}

// The top-level collection's input capabilities, placed in their reports.
std::vector<HidCaps> inputCapsOf(PHIDP_PREPARSED_DATA data, const HIDP_CAPS& caps) {
    const size_t reportBytes = caps.InputReportByteLength;
    std::vector<HidCaps> out;
    std::vector<HIDP_VALUE_CAPS> values(caps.NumberInputValueCaps);
    USHORT count = caps.NumberInputValueCaps;
    if (count == 0 || HidP_GetValueCaps(HidP_Input, values.data(), &count, data) != HIDP_STATUS_SUCCESS)
        count = 0;
    for (USHORT i = 0; i < count; ++i) {
        const HIDP_VALUE_CAPS& v = values[i];
        HidCaps c;
        c.reportId = v.ReportID;
        c.usagePage = v.UsagePage;
        c.isRange = v.IsRange != 0;
        c.usageMin = v.IsRange ? v.Range.UsageMin : v.NotRange.Usage;
        c.usageMax = v.IsRange ? v.Range.UsageMax : v.NotRange.Usage;
        c.dataIndex = v.IsRange ? v.Range.DataIndexMin : v.NotRange.DataIndex;
        c.bitField = v.BitField;
        c.bitSize = v.BitSize;
        c.reportCount = v.ReportCount;
        const USAGE usage = c.usageMin;
        if (!v.IsRange && v.ReportCount > 1) { // a usage value array is set as a whole
            std::vector<char> ones((static_cast<size_t>(v.BitSize) * v.ReportCount + 7) / 8, '\xFF');
            c.bitOffset = probe(data, v.ReportID, reportBytes, [&](char* report, ULONG length) {
                return HidP_SetUsageValueArray(HidP_Input, v.UsagePage, v.LinkCollection, usage, ones.data(),
                                               static_cast<USHORT>(ones.size()), data, report, length);
            });
        } else {
            const ULONG ones = v.BitSize >= 32 ? 0xFFFFFFFFu : (1u << v.BitSize) - 1;
            c.bitOffset = probe(data, v.ReportID, reportBytes, [&](char* report, ULONG length) {
                return HidP_SetUsageValue(HidP_Input, v.UsagePage, v.LinkCollection, usage, ones, data,
                                          report, length);
            });
        }
        out.push_back(c);
    }
    std::vector<HIDP_BUTTON_CAPS> buttons(caps.NumberInputButtonCaps);
    count = caps.NumberInputButtonCaps;
    if (count == 0 || HidP_GetButtonCaps(HidP_Input, buttons.data(), &count, data) != HIDP_STATUS_SUCCESS)
        count = 0;
    for (USHORT i = 0; i < count; ++i) {
        const HIDP_BUTTON_CAPS& b = buttons[i];
        HidCaps c;
        c.reportId = b.ReportID;
        c.usagePage = b.UsagePage;
        c.isRange = b.IsRange != 0;
        c.usageMin = b.IsRange ? b.Range.UsageMin : b.NotRange.Usage;
        c.usageMax = b.IsRange ? b.Range.UsageMax : b.NotRange.Usage;
        c.dataIndex = b.IsRange ? b.Range.DataIndexMin : b.NotRange.DataIndex;
        c.bitField = b.BitField;
        if ((b.BitField & 2) != 0) { // a variable item: a bit a button; an array's size is the room it has
            c.bitSize = 1;
            c.reportCount = static_cast<uint16_t>(c.usageMax - c.usageMin + 1);
            USAGE usage = c.usageMin;
            c.bitOffset = probe(data, b.ReportID, reportBytes, [&](char* report, ULONG length) {
                ULONG one = 1;
                return HidP_SetUsages(HidP_Input, b.UsagePage, b.LinkCollection, &usage, &one, data, report,
                                      length);
            });
        } else {
            // The ReportCount of today's HIDP_BUTTON_CAPS, in what older headers call Reserved; 0 from a
            // system that does not fill it.
            c.reportCount = static_cast<uint16_t>(b.Reserved[0] & 0xFFFF);
        }
        out.push_back(c);
    }
    return out;
}

class HidPosDevice final : public InputSource {
  public:
    // `layout`: WebHID collections JSON, or with `descriptor` a report descriptor.
    HidPosDevice(HANDLE handle, HANDLE event, std::string path, std::string name, std::string layout,
                 bool descriptor, size_t reportBytes)
        : handle_(handle), path_(std::move(path)), name_(std::move(name)), layout_(std::move(layout)),
          descriptor_(descriptor), buffer_(reportBytes) {
        overlapped_.hEvent = event;
    }
    ~HidPosDevice() override {
        if (pending_) { // the read must be over before its buffer goes
            CancelIoEx(handle_, &overlapped_);
            DWORD n = 0;
            GetOverlappedResult(handle_, &overlapped_, &n, TRUE);
        }
        CloseHandle(overlapped_.hEvent);
        CloseHandle(handle_);
    }
    void attach(dvkh_link* link) override {
        if (descriptor_)
            dvkh_link_hid_pos_descriptor(link, layout_.data(), static_cast<int32_t>(layout_.size()));
        else
            dvkh_link_hid_pos_collections(link, layout_.c_str());
    }
    bool feed(dvkh_link* link, dvk_decoder* decoder) override { return feedWithin(link, decoder, 0); }
    // Takes the reports that came, waiting at most `timeoutMs` for the first; a failed read (the device was
    // unplugged, ERROR_DEVICE_NOT_CONNECTED) ends the input.
    bool feedWithin(dvkh_link* link, dvk_decoder* /*decoder*/, int timeoutMs) override {
        bool waited = false;
        for (int reports = 0; reports < 64;) {
            if (!pending_) {
                if (!ReadFile(handle_, buffer_.data(), static_cast<DWORD>(buffer_.size()), nullptr,
                              &overlapped_) &&
                    GetLastError() != ERROR_IO_PENDING)
                    return false;
                pending_ = true;
            }
            DWORD n = 0;
            if (GetOverlappedResult(handle_, &overlapped_, &n, FALSE)) {
                pending_ = false;
                ++reports;
                if (n > 0)
                    dvkh_link_hid_pos_report(link, static_cast<uint8_t>(buffer_[0]), buffer_.data() + 1,
                                             static_cast<int32_t>(n - 1), monotonicMs());
                continue;
            }
            if (GetLastError() != ERROR_IO_INCOMPLETE) {
                pending_ = false;
                return false;
            }
            if (waited || reports > 0) return true;
            waited = true;
            const DWORD woke =
                WaitForSingleObject(overlapped_.hEvent, static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 0));
            if (woke == WAIT_FAILED) return false;
            if (woke != WAIT_OBJECT_0) return true;
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
    HANDLE handle_;
    OVERLAPPED overlapped_ = {};
    bool pending_ = false; // a read was started and not yet taken
    std::string path_;
    std::string name_;
    std::string layout_;
    bool descriptor_;
    std::vector<char> buffer_;
};

// A recording of reads, with its descriptor: the stream split into reports by the link, as on Linux.
class HidPosRecording final : public InputSource {
  public:
    HidPosRecording(std::string path, std::string bytes, std::string descriptor)
        : path_(std::move(path)), bytes_(std::move(bytes)), descriptor_(std::move(descriptor)) {}
    void attach(dvkh_link* link) override {
        dvkh_link_hid_pos_descriptor(link, descriptor_.data(), static_cast<int32_t>(descriptor_.size()));
    }
    bool feed(dvkh_link* link, dvk_decoder* /*decoder*/) override {
        if (at_ >= bytes_.size()) return false;
        const size_t n = std::min<size_t>(4096, bytes_.size() - at_);
        dvkh_link_hid_pos_stream(link, bytes_.data() + at_, static_cast<int32_t>(n), monotonicMs());
        at_ += n;
        return true;
    }
    uint64_t nowMs() const override { return monotonicMs(); }
    const std::string& deviceId() const override { return path_; }
    const char* transport() const override { return "hid"; }
    std::string description() const override { return path_ + dvkhost::text("hidpos.mode"); }

  private:
    std::string path_;
    std::string bytes_;
    std::string descriptor_;
    size_t at_ = 0;
};

// The layout tried on a link of its own, so that a bad one is told before anything is read.
bool layoutUsable(const std::string& layout, bool collections, const std::string& named, std::string& error) {
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> scratch(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    const std::unique_ptr<dvkh_link, decltype(&dvkh_link_free)> trial(dvkh_link_new(scratch.get(), "", 0),
                                                                      &dvkh_link_free);
    const int32_t status = collections ? dvkh_link_hid_pos_collections(trial.get(), layout.c_str())
                                       : dvkh_link_hid_pos_descriptor(trial.get(), layout.data(),
                                                                      static_cast<int32_t>(layout.size()));
    if (status == 1) return true;
    error = dvkhost::text(status == 0 ? "hidpos.notHidPos" : "hidpos.corrupt", {named});
    return false;
}

// Opened for reading, or (access 0) only to ask what it is, which works on a device another program holds.
HANDLE openDevice(const std::string& path, DWORD access, DWORD flags) {
    return CreateFileW(platform::pathOf(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, flags, nullptr);
}

} // namespace

std::vector<HidPosScanner> hidPosScanners() {
    std::vector<HidPosScanner> found;
    GUID hid;
    HidD_GetHidGuid(&hid);
    const HDEVINFO set = SetupDiGetClassDevsW(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return found;
    SP_DEVICE_INTERFACE_DATA entry = {};
    entry.cbSize = sizeof entry;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hid, i, &entry); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &entry, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) continue;
        std::vector<char> space(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(space.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &entry, detail, size, nullptr, nullptr)) continue;
        const std::string path = utf8Of(detail->DevicePath);
        const Handle device(openDevice(path, 0, 0));
        if (device.h == INVALID_HANDLE_VALUE) continue;
        const Preparsed parsed(device.h);
        HIDP_CAPS caps = {};
        if (parsed.data != nullptr && HidP_GetCaps(parsed.data, &caps) == HIDP_STATUS_SUCCESS &&
            caps.UsagePage == kHidPosPage)
            found.push_back({path, productName(device.h)});
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

std::unique_ptr<InputSource> openHidPos(const std::string& path, const std::string& descriptorPath,
                                        std::string& error) {
    std::optional<std::string> descriptor;
    if (!descriptorPath.empty()) {
        std::string why;
        descriptor = readFile(descriptorPath, &why);
        if (!descriptor) {
            error = dvkhost::text("hidpos.cannotReadDescriptor", {descriptorPath, why});
            return nullptr;
        }
        if (!layoutUsable(*descriptor, false, descriptorPath, error)) return nullptr;
    }
    if (!isDevicePath(path)) {
        if (!descriptor) {
            error = dvkhost::text("hidpos.noDescriptor", {path});
            return nullptr;
        }
        std::string why;
        auto bytes = readFile(path, &why);
        if (!bytes) {
            error = dvkhost::text("device.cannotOpen", {path, why});
            return nullptr;
        }
        return std::make_unique<HidPosRecording>(path, std::move(*bytes), std::move(*descriptor));
    }
    Handle device(openDevice(path, GENERIC_READ, FILE_FLAG_OVERLAPPED));
    if (device.h == INVALID_HANDLE_VALUE) {
        error = dvkhost::text("device.cannotOpen", {path, platform::systemError(GetLastError())});
        return nullptr;
    }
    HIDP_CAPS caps = {};
    std::string collections;
    {
        const Preparsed parsed(device.h);
        if (parsed.data == nullptr || HidP_GetCaps(parsed.data, &caps) != HIDP_STATUS_SUCCESS ||
            caps.InputReportByteLength < 2) {
            error = dvkhost::text("hidpos.noDescriptor", {path});
            return nullptr;
        }
        if (!descriptor)
            collections = collectionsOfCaps(inputCapsOf(parsed.data, caps), caps.InputReportByteLength);
    }
    // A descriptor given stands for what the parser says.
    if (!descriptor && !layoutUsable(collections, true, path, error)) return nullptr;
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        error = dvkhost::text("device.cannotOpen", {path, platform::systemError(GetLastError())});
        return nullptr;
    }
    const std::string name = productName(device.h);
    return std::make_unique<HidPosDevice>(device.release(), event, path, name,
                                          descriptor ? std::move(*descriptor) : std::move(collections),
                                          descriptor.has_value(), caps.InputReportByteLength);
}
