// The printable set-up sheet: the five reference codes on A4, as one self-contained HTML page.
#pragma once

#include <optional>
#include <string>

std::optional<std::string> setupSheetHtml();
