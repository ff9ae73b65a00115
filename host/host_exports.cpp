// The kit's C interface, in the library's own pattern: every call normalises its arguments, runs inside a
// catch-all and copies a text result once into a malloc'd block.
#include <cstdlib>
#include <new>

#include "capi/boundary.h"
#include "dorvik_host.h"
#include "key_tables.h"
#include "link.h"
#include "json/json_writer.h"

struct dvkh_link {
    dorvik::host::Link link;
};

namespace {

using dorvik::host::KeyAction;
using dorvik::host::LayoutStatus;

using dorvik::guard;
using dorvik::guardVoid;
using dorvik::textArg;
using dorvik::toCText;

// Anything but press and release is taken for a repeat, which is never fed.
KeyAction actionOf(int32_t action) {
    return action == 1 ? KeyAction::Press : action == 0 ? KeyAction::Release : KeyAction::Repeat;
}

int32_t statusCode(LayoutStatus status) {
    return status == LayoutStatus::Found ? 1 : status == LayoutStatus::NotHidPos ? 0 : -1;
}

} // namespace

extern "C" {

int32_t DVK_CALL dvkh_scan_code_of_linux_key(int32_t code) { return dorvik::host::scanCodeOfLinuxKey(code); }

int32_t DVK_CALL dvkh_scan_code_of_key_code(const char* code) {
    return dorvik::host::scanCodeOfKeyCode(textArg(code));
}

char* DVK_CALL dvkh_key_codes(void) {
    return guard<char*>(nullptr, [] {
        std::string out = "{";
        for (const auto& key : dorvik::host::physicalKeys()) {
            if (out.size() > 1) out += ',';
            dorvik::appendJsonString(out, key.keyCode);
            out += ':';
            dorvik::appendUint(out, key.scanCode);
        }
        out += '}';
        return toCText(out);
    });
}

const char* DVK_CALL dvkh_set_up_profile(void) { return dorvik::host::kSetUpProfile.data(); }

dvkh_link* DVK_CALL dvkh_link_new(dvk_decoder* decoder, const char* deviceId, int32_t setUp) {
    if (decoder == nullptr) return nullptr;
    return guard<dvkh_link*>(nullptr, [&] {
        return new (std::nothrow)
            dvkh_link{dorvik::host::Link(decoder, std::string(textArg(deviceId)), setUp != 0)};
    });
}

void DVK_CALL dvkh_link_free(dvkh_link* link) { delete link; }

int32_t DVK_CALL dvkh_link_use_profile(dvkh_link* link, const char* profileJson) {
    if (link == nullptr || profileJson == nullptr) return 0;
    return guard<int32_t>(0, [&] { return link->link.useProfile(profileJson) ? 1 : 0; });
}

void DVK_CALL dvkh_link_key(dvkh_link* link, int32_t scanCode, int32_t action, uint64_t tMs) {
    if (link == nullptr || scanCode < 0 || scanCode > 0xFFFF) return;
    guardVoid([&] { link->link.key(static_cast<uint16_t>(scanCode), actionOf(action), tMs); });
}

void DVK_CALL dvkh_link_key_with(dvkh_link* link, int32_t scanCode, int32_t action, int32_t modifiers,
                                 uint64_t tMs) {
    if (link == nullptr || scanCode < 0 || scanCode > 0xFFFF) return;
    const dorvik::host::Modifiers given{(modifiers & 1) != 0, (modifiers & 2) != 0, (modifiers & 4) != 0,
                                        (modifiers & 8) != 0};
    guardVoid([&] { link->link.keyWith(static_cast<uint16_t>(scanCode), actionOf(action), given, tMs); });
}

void DVK_CALL dvkh_link_set_caps_lock(dvkh_link* link, int32_t on) {
    if (link != nullptr) link->link.setCapsLock(on != 0);
}

void DVK_CALL dvkh_link_bytes(dvkh_link* link, const char* bytes, int32_t length, uint64_t tMs) {
    if (link == nullptr) return;
    guardVoid([&] { link->link.bytes(textArg(bytes, length), tMs); });
}

int32_t DVK_CALL dvkh_link_hid_pos_descriptor(dvkh_link* link, const char* bytes, int32_t length) {
    if (link == nullptr) return -1;
    return guard<int32_t>(-1, [&] { return statusCode(link->link.useDescriptor(textArg(bytes, length))); });
}

int32_t DVK_CALL dvkh_link_hid_pos_collections(dvkh_link* link, const char* json) {
    if (link == nullptr) return -1;
    return guard<int32_t>(-1, [&] {
        const auto descriptor = dorvik::host::descriptorOfCollections(textArg(json));
        return descriptor ? statusCode(link->link.useDescriptor(*descriptor)) : -1;
    });
}

int32_t DVK_CALL dvkh_link_hid_pos_report_id(const dvkh_link* link) {
    return link == nullptr ? -1 : link->link.reportId();
}

int32_t DVK_CALL dvkh_link_hid_pos_report(dvkh_link* link, int32_t reportId, const char* data, int32_t length,
                                          uint64_t tMs) {
    if (link == nullptr || reportId < 0 || reportId > 0xFF) return 0;
    return guard<int32_t>(0, [&] {
        return link->link.report(static_cast<uint8_t>(reportId), textArg(data, length), tMs) ? 1 : 0;
    });
}

void DVK_CALL dvkh_link_hid_pos_stream(dvkh_link* link, const char* bytes, int32_t length, uint64_t tMs) {
    if (link == nullptr) return;
    guardVoid([&] { link->link.stream(textArg(bytes, length), tMs); });
}

void DVK_CALL dvkh_link_tick(dvkh_link* link, uint64_t nowMs) {
    if (link != nullptr) guardVoid([&] { link->link.tick(nowMs); });
}

void DVK_CALL dvkh_link_end(dvkh_link* link, uint64_t nowMs) {
    if (link != nullptr) guardVoid([&] { link->link.end(nowMs); });
}

int64_t DVK_CALL dvkh_link_wake_at(const dvkh_link* link) {
    return link == nullptr ? -1 : link->link.wakeAt();
}

char* DVK_CALL dvkh_link_poll(dvkh_link* link) {
    if (link == nullptr) return nullptr;
    return guard<char*>(nullptr, [&] {
        const std::string polled = link->link.poll();
        return polled.empty() ? nullptr : toCText(polled);
    });
}

char* DVK_CALL dvkh_link_notices(dvkh_link* link) {
    if (link == nullptr) return nullptr;
    return guard<char*>(nullptr, [&] { return toCText(link->link.takeNotices()); });
}

void DVK_CALL dvkh_free(void* text) { std::free(text); }

} // extern "C"
