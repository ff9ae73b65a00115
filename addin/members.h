// The add-in's properties and methods as the platform finds them: an English and a Russian name each, found
// without regard to case, and the methods' parameters with their defaults.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "native_api.h"

namespace dvka {

enum class Param { Text, Flag, Number };

struct ParamInfo {
    const char* name;
    Param type;
    // The default as the platform fills a left-out parameter in; none when the caller must give it.
    std::optional<std::string_view> text = std::nullopt;
    std::optional<double> number = std::nullopt;
    std::optional<bool> flag = std::nullopt;
};

struct MemberInfo {
    std::u16string_view english;
    std::u16string_view russian;
    std::span<const ParamInfo> params = {};
    bool returns = true;
};

enum PropertyIndex : long { kVersion, kConnected, kInSetup };

enum MethodIndex : long {
    kGetVersion,
    kGetLastError,
    kDecode,
    kDecodeTyped,
    kKeyForChar,
    kBarcodeSvg,
    kBarcodePng,
    kConnect,
    kDisconnect,
    kDeviceTest,
    kStartSetup,
    kSetupState,
    kSkipStep,
    kFeedSetup,
    kLearnedProfile,
    kStopSetup,
};

std::span<const MemberInfo> properties();
std::span<const MemberInfo> methods();

// The index of the member named `name` in either language, case aside; -1 for none.
long findMember(std::span<const MemberInfo> members, std::u16string_view name);

} // namespace dvka
