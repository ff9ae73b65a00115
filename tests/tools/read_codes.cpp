// Reads every barcode in a picture with ZXing-C++ and prints one line per code: format, symbology
// identifier and content with control bytes as <GS>, <CR>, ... Pictures are PNG files, or text captured from
// a terminal where each character cell holds two module rows (█ ▀ ▄ and blank).
#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

Image loadPng(const char* path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    Image image;
    if (!png_image_begin_read_from_file(&png, path)) return image;
    png.format = PNG_FORMAT_GRAY;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.pixels.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr)) image = Image{};
    return image;
}

// Terminal text to pixels: every cell is two modules tall, one wide; each module becomes 4 x 4 pixels with a
// white margin around the whole capture.
Image loadBlocks(const char* path) {
    std::ifstream in(path);
    std::vector<std::vector<int>> rows; // 1 dark, 0 light, per module row
    for (std::string line; std::getline(in, line);) {
        if (line.find("█") == std::string::npos && line.find("▀") == std::string::npos &&
            line.find("▄") == std::string::npos)
            continue;
        std::vector<int> upper, lower;
        for (size_t i = 0; i < line.size();) {
            if (line.compare(i, 3, "█") == 0)
                upper.push_back(1), lower.push_back(1), i += 3;
            else if (line.compare(i, 3, "▀") == 0)
                upper.push_back(1), lower.push_back(0), i += 3;
            else if (line.compare(i, 3, "▄") == 0)
                upper.push_back(0), lower.push_back(1), i += 3;
            else
                upper.push_back(0), lower.push_back(0), i += 1;
        }
        rows.push_back(upper);
        rows.push_back(lower);
    }
    Image image;
    size_t columns = 0;
    for (const auto& r : rows)
        columns = std::max(columns, r.size());
    const int scale = 4, margin = 40;
    image.width = static_cast<int>(columns) * scale + 2 * margin;
    image.height = static_cast<int>(rows.size()) * scale + 2 * margin;
    image.pixels.assign(static_cast<size_t>(image.width * image.height), 255);
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            if (rows[r][c])
                for (int y = 0; y < scale; ++y)
                    for (int x = 0; x < scale; ++x)
                        image.pixels[static_cast<size_t>((margin + static_cast<int>(r) * scale + y) *
                                                             image.width +
                                                         margin + static_cast<int>(c) * scale + x)] = 0;
    return image;
}

std::string escaped(const ZXing::ByteArray& bytes) {
    std::string out;
    for (const uint8_t b : bytes) {
        if (b == 0x1D)
            out += "<GS>";
        else if (b < 0x20)
            out += "<" + std::to_string(b) + ">";
        else
            out += static_cast<char>(b);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::string(argv[1]) != "--png" && std::string(argv[1]) != "--blocks")) {
        std::fprintf(stderr, "usage: read_codes --png FILE | --blocks FILE\n");
        return 2;
    }
    const Image image = std::string(argv[1]) == "--png" ? loadPng(argv[2]) : loadBlocks(argv[2]);
    if (image.pixels.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 2;
    }
    // One code at a time: the picture is cut into bands of rows that hold dark pixels (a code, or a line of
    // text), each decoded on its own with a white margin.
    ZXing::DecodeHints hints;
    hints.setTryHarder(true);
    auto rowIsBlank = [&](int y) {
        for (int x = 0; x < image.width; ++x)
            if (image.pixels[static_cast<size_t>(y * image.width + x)] < 128) return false;
        return true;
    };
    int found = 0;
    for (int y = 0; y < image.height;) {
        if (rowIsBlank(y)) {
            ++y;
            continue;
        }
        const int top = y;
        while (y < image.height && !rowIsBlank(y))
            ++y;
        const int margin = 20;
        const int bandHeight = y - top + 2 * margin;
        std::vector<uint8_t> band(static_cast<size_t>(bandHeight * image.width), 255);
        std::copy(image.pixels.begin() + static_cast<long>(top) * image.width,
                  image.pixels.begin() + static_cast<long>(y) * image.width,
                  band.begin() + margin * image.width);
        const ZXing::Result r = ZXing::ReadBarcode(
            ZXing::ImageView(band.data(), image.width, bandHeight, ZXing::ImageFormat::Lum), hints);
        if (!r.isValid()) continue;
        std::printf("%s %s %s\n", ZXing::ToString(r.format()), r.symbologyIdentifier().c_str(),
                    escaped(r.bytes()).c_str());
        ++found;
    }
    return found == 0 ? 1 : 0;
}
