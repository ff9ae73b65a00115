// Replays fuzzer inputs through the harnesses without libFuzzer, with any compiler:
// `dvk_fuzz_replay NAME PATH...` runs every file under each PATH (a file or a folder) through harness NAME,
// in name order. Each input's name is printed before it runs, so a failed property names its input last.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#define DVK_HARNESSES(X) \
    X(decode_frame) X(profile) X(decoder) X(tuner) X(barcode_svg) X(key_for_char) X(hid_pos)
#define DVK_DECLARE(name) extern "C" int dvkFuzz_##name(const uint8_t* data, size_t size);
DVK_HARNESSES(DVK_DECLARE)

namespace {

struct Harness {
    const char* name;
    int (*run)(const uint8_t*, size_t);
};
#define DVK_ENTRY(name) {#name, dvkFuzz_##name},
constexpr Harness kHarnesses[] = {DVK_HARNESSES(DVK_ENTRY)};

} // namespace

int main(int argc, char** argv) {
    const Harness* harness = nullptr;
    for (const Harness& h : kHarnesses)
        if (argc > 1 && std::strcmp(argv[1], h.name) == 0) harness = &h;
    if (harness == nullptr || argc < 3) {
        std::fprintf(
            stderr,
            "usage: dvk_fuzz_replay decode_frame|profile|decoder|tuner|barcode_svg|key_for_char|hid_pos PATH...\n");
        return 2;
    }
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 2; i < argc; ++i) {
        const fs::path path(argv[i]);
        if (!fs::is_directory(path)) {
            inputs.push_back(path);
            continue;
        }
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    size_t bytes = 0;
    for (const fs::path& input : inputs) {
        std::printf("%s\n", input.string().c_str());
        std::fflush(stdout);
        std::ifstream file(input, std::ios::binary);
        const std::vector<char> data{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        if (!file.eof() && file.fail()) {
            std::fprintf(stderr, "cannot read %s\n", input.string().c_str());
            return 1;
        }
        harness->run(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        bytes += data.size();
    }
    std::printf("%s: %zu inputs, %zu bytes replayed\n", harness->name, inputs.size(), bytes);
    return inputs.empty() ? 1 : 0;
}
