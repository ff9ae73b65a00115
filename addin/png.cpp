#include "png.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <vector>

namespace dvka {

namespace {

// Bigger than any reference code the library draws, and small enough that a page of them fits in memory.
constexpr long kMaxSide = 20000;

struct Cursor {
    std::string_view text;
    size_t at = 0;

    bool skip(std::string_view literal) {
        if (text.substr(at, literal.size()) != literal) return false;
        at += literal.size();
        return true;
    }
    std::optional<long> number() {
        long value = 0;
        const char* begin = text.data() + at;
        const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value);
        if (ec != std::errc() || value < -kMaxSide || value > kMaxSide) return std::nullopt;
        at += static_cast<size_t>(end - begin);
        return value;
    }
};

std::optional<long> attribute(std::string_view svg, std::string_view name) {
    const size_t start = svg.find(name);
    if (start == std::string_view::npos) return std::nullopt;
    Cursor in{svg, start + name.size()};
    return in.number();
}

const std::array<uint32_t, 256>& crcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void put32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

void chunk(std::string& out, std::string_view type, std::string_view data) {
    put32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.append(type);
    out.append(data);
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = start; i < out.size(); ++i)
        crc = crcTable()[(crc ^ static_cast<unsigned char>(out[i])) & 0xFF] ^ (crc >> 8);
    put32(out, crc ^ 0xFFFFFFFFu);
}

// A zlib stream of stored blocks: the pictures are small and mostly white, and a deflater would be the
// largest part of this file.
std::string zlibStored(std::string_view raw) {
    std::string out("\x78\x01", 2);
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - at, 65535);
        const bool last = at + n == raw.size();
        out += static_cast<char>(last ? 1 : 0);
        out += static_cast<char>(n & 0xFF);
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(~n & 0xFF);
        out += static_cast<char>((~n >> 8) & 0xFF);
        out.append(raw.substr(at, n));
        at += n;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (const char c : raw) {
        a = (a + static_cast<unsigned char>(c)) % 65521;
        b = (b + a) % 65521;
    }
    put32(out, (b << 16) | a);
    return out;
}

} // namespace

std::optional<std::string> pngOfSvg(std::string_view svg) {
    const std::optional<long> width = attribute(svg, " width=\"");
    const std::optional<long> height = attribute(svg, " height=\"");
    const size_t path = svg.find(" d=\"");
    if (!width || !height || *width <= 0 || *height <= 0 || path == std::string_view::npos)
        return std::nullopt;
    const size_t w = static_cast<size_t>(*width), h = static_cast<size_t>(*height);
    const size_t rowBytes = 1 + (w + 7) / 8; // the filter byte, then the pixels
    std::string raw(rowBytes * h, '\xFF');
    for (size_t y = 0; y < h; ++y)
        raw[y * rowBytes] = 0;
    Cursor in{svg, path + 4};
    while (in.skip("M")) {
        const auto x = in.number();
        if (!x || !in.skip(" ")) return std::nullopt;
        const auto y0 = in.number();
        if (!y0 || !in.skip("h")) return std::nullopt;
        const auto dx = in.number();
        if (!dx || !in.skip("v")) return std::nullopt;
        const auto dy = in.number();
        if (!dy || !in.skip("h") || !in.number() || !in.skip("z")) return std::nullopt;
        const long x1 = std::clamp(*x, 0L, *width), x2 = std::clamp(*x + *dx, 0L, *width);
        const long y1 = std::clamp(*y0, 0L, *height), y2 = std::clamp(*y0 + *dy, 0L, *height);
        for (long row = y1; row < y2; ++row)
            for (long col = x1; col < x2; ++col)
                raw[static_cast<size_t>(row) * rowBytes + 1 + static_cast<size_t>(col) / 8] &=
                    static_cast<char>(~(0x80 >> (col % 8)));
    }
    if (!in.skip("\"")) return std::nullopt;
    std::string header;
    put32(header, static_cast<uint32_t>(w));
    put32(header, static_cast<uint32_t>(h));
    header +=
        std::string("\x01\x00\x00\x00\x00", 5); // 1 bit, greyscale, deflate, no filter method, no interlace
    std::string out("\x89PNG\r\n\x1a\n", 8);
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", zlibStored(raw));
    chunk(out, "IEND", "");
    return out;
}

} // namespace dvka
