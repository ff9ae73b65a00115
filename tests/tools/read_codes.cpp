// Reads every barcode in a picture with ZXing-C++ and prints one line per code: format, symbology
// identifier and content with control bytes as <GS>, <CR>, ... Pictures are PNG files, or a terminal screen
// captured with its colours.
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

// A terminal screen captured with its colours (tmux capture-pane -e) rendered as a terminal draws it: every
// character cell 8 x 16 pixels, block characters filling their part of the cell in the foreground colour,
// the rest of the cell in the background colour. The default colours are light grey on near-black, so a code
// drawn without its own colours or quiet zone does not read. Only the runs of lines holding block characters
// (or of cells with a background of their own) are kept, one image for each run, with a margin of the
// default background.
std::vector<Image> loadScreen(const char* path) {
    constexpr int kCellWidth = 8, kCellHeight = 16, kMargin = 32;
    constexpr uint8_t kDefaultInk = 200, kDefaultPaper = 20;
    enum Shape { None, Full, Upper, Lower, Left, Right };
    struct Cell {
        Shape shape;
        uint8_t ink, paper;
    };
    std::ifstream in(path);
    std::vector<std::vector<std::vector<Cell>>> runs(1);
    uint8_t ink = kDefaultInk, paper = kDefaultPaper; // colours carry over from line to line
    for (std::string line; std::getline(in, line);) {
        std::vector<Cell> cells;
        bool blocks = false;
        for (size_t i = 0; i < line.size();) {
            if (line[i] == '\x1b' && line.compare(i, 2, "\x1b[") == 0) {
                const size_t end = line.find('m', i);
                if (end == std::string::npos) break;
                std::string params = line.substr(i + 2, end - i - 2);
                for (size_t at = 0; at <= params.size();) {
                    const size_t next = std::min(params.find(';', at), params.size());
                    const int p = next > at ? std::stoi(params.substr(at, next - at)) : 0;
                    if (p == 0)
                        ink = kDefaultInk, paper = kDefaultPaper;
                    else if (p == 30 || p == 40)
                        (p == 30 ? ink : paper) = 0;
                    else if (p == 37 || p == 97)
                        ink = 255;
                    else if (p == 47 || p == 107)
                        paper = 255;
                    else if (p == 39)
                        ink = kDefaultInk;
                    else if (p == 49)
                        paper = kDefaultPaper;
                    at = next + 1;
                }
                i = end + 1;
                continue;
            }
            static const std::pair<const char*, Shape> glyphs[] = {
                {"█", Full}, {"▀", Upper}, {"▄", Lower}, {"▌", Left}, {"▐", Right}};
            Shape shape = None;
            for (const auto& [glyph, s] : glyphs)
                if (line.compare(i, 3, glyph) == 0) shape = s;
            blocks |= shape != None || paper != kDefaultPaper;
            cells.push_back({shape, ink, paper});
            const auto lead = static_cast<unsigned char>(line[i]);
            i += shape != None ? 3 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        }
        if (blocks)
            runs.back().push_back(cells);
        else if (!runs.back().empty())
            runs.emplace_back();
    }
    std::vector<Image> images;
    for (const auto& lines : runs) {
        if (lines.empty()) continue;
        size_t columns = 0;
        for (const auto& l : lines)
            columns = std::max(columns, l.size());
        Image image;
        image.width = static_cast<int>(columns) * kCellWidth + 2 * kMargin;
        image.height = static_cast<int>(lines.size()) * kCellHeight + 2 * kMargin;
        image.pixels.assign(static_cast<size_t>(image.width * image.height), kDefaultPaper);
        for (size_t r = 0; r < lines.size(); ++r)
            for (size_t c = 0; c < lines[r].size(); ++c)
                for (int y = 0; y < kCellHeight; ++y)
                    for (int x = 0; x < kCellWidth; ++x) {
                        const Cell& cell = lines[r][c];
                        const bool inked = cell.shape == Full ||
                                           (cell.shape == Upper && y < kCellHeight / 2) ||
                                           (cell.shape == Lower && y >= kCellHeight / 2) ||
                                           (cell.shape == Left && x < kCellWidth / 2) ||
                                           (cell.shape == Right && x >= kCellWidth / 2);
                        image.pixels[static_cast<size_t>(
                            (kMargin + static_cast<int>(r) * kCellHeight + y) * image.width + kMargin +
                            static_cast<int>(c) * kCellWidth + x)] = inked ? cell.ink : cell.paper;
                    }
        images.push_back(std::move(image));
    }
    return images;
}

// A picture cut into bands of rows that hold dark pixels (a code, or a line of text), each with a white
// margin, so that every code is read on its own.
std::vector<Image> bandsOf(const Image& image) {
    auto rowIsBlank = [&](int y) {
        for (int x = 0; x < image.width; ++x)
            if (image.pixels[static_cast<size_t>(y * image.width + x)] < 128) return false;
        return true;
    };
    std::vector<Image> bands;
    for (int y = 0; y < image.height;) {
        if (rowIsBlank(y)) {
            ++y;
            continue;
        }
        const int top = y;
        while (y < image.height && !rowIsBlank(y))
            ++y;
        const int margin = 20;
        Image band;
        band.width = image.width;
        band.height = y - top + 2 * margin;
        band.pixels.assign(static_cast<size_t>(band.height * image.width), 255);
        std::copy(image.pixels.begin() + static_cast<long>(top) * image.width,
                  image.pixels.begin() + static_cast<long>(y) * image.width,
                  band.pixels.begin() + margin * image.width);
        bands.push_back(std::move(band));
    }
    return bands;
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
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode != "--png" && mode != "--screen") {
        std::fprintf(stderr, "usage: read_codes --png FILE | --screen FILE\n");
        return 2;
    }
    std::vector<Image> images;
    if (mode == "--png") {
        const Image image = loadPng(argv[2]);
        if (image.pixels.empty()) {
            std::fprintf(stderr, "cannot read %s\n", argv[2]);
            return 2;
        }
        images = bandsOf(image);
    } else {
        images = loadScreen(argv[2]);
    }
    ZXing::DecodeHints hints;
    hints.setTryHarder(true);
    int found = 0;
    for (const Image& image : images) {
        const ZXing::Result r = ZXing::ReadBarcode(
            ZXing::ImageView(image.pixels.data(), image.width, image.height, ZXing::ImageFormat::Lum), hints);
        if (!r.isValid()) continue;
        std::printf("%s %s %s\n", ZXing::ToString(r.format()), r.symbologyIdentifier().c_str(),
                    escaped(r.bytes()).c_str());
        ++found;
    }
    return found == 0 ? 1 : 0;
}
