#include "profile/scanner_profile.h"

namespace dorvik {

Transport transportFromName(std::string_view name) {
    if (name == "hid") return Transport::Hid;
    if (name == "serial") return Transport::Serial;
    if (name == "sim") return Transport::Sim;
    return Transport::None;
}

std::string_view transportName(Transport transport) {
    switch (transport) {
    case Transport::Hid: return "hid";
    case Transport::Serial: return "serial";
    case Transport::Sim: return "sim";
    default: return "none";
    }
}

} // namespace dorvik
