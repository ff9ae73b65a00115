#include "russian_layout.h"

#include <map>

namespace dvksim {

std::string throughRussianLayout(const std::string& usText) {
    static const std::map<char, std::string> layout = [] {
        const std::string us = "qwertyuiop[]asdfghjkl;'zxcvbnm,./`QWERTYUIOP{}ASDFGHJKL:\"ZXCVBNM<>?~@#$^&|";
        const char* ru[] = {"й", "ц", "у", "к", "е", "н", "г", "ш", "щ",  "з", "х", "ъ", "ф", "ы", "в",
                            "а", "п", "р", "о", "л", "д", "ж", "э", "я",  "ч", "с", "м", "и", "т", "ь",
                            "б", "ю", ".", "ё", "Й", "Ц", "У", "К", "Е",  "Н", "Г", "Ш", "Щ", "З", "Х",
                            "Ъ", "Ф", "Ы", "В", "А", "П", "Р", "О", "Л",  "Д", "Ж", "Э", "Я", "Ч", "С",
                            "М", "И", "Т", "Ь", "Б", "Ю", ",", "Ё", "\"", "№", ";", ":", "?", "/"};
        std::map<char, std::string> map;
        for (size_t i = 0; i < us.size(); ++i)
            map[us[i]] = ru[i];
        return map;
    }();
    std::string out;
    for (const char c : usText) {
        const auto it = layout.find(c);
        out += it == layout.end() ? std::string(1, c) : it->second;
    }
    return out;
}

} // namespace dvksim
