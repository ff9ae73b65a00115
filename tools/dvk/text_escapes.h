#pragma once

#include <optional>
#include <string>
#include <string_view>

// C-style escapes (\r \n \t \\ \" \0 \e \xHH) to bytes; nullopt for a malformed escape.
std::optional<std::string> unescapeText(std::string_view text);
