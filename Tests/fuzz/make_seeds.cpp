// Writes the seed corpus of each fuzz target: valid inputs made by the code
// that writes them (the exchange writer, the settings store, the image
// writers, the viewer's own icon), and a few texts as systems and drivers
// write them. Usage: make_fuzz_seeds <corpus folder> <repository root>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "Shared/exchange.h"
#include "link/exchange_writer.h"
#include "ofxhost/image_io.h"
#include "orvalis/platform/settings_store.h"

namespace {

namespace fs = std::filesystem;
namespace ex = orvalis::exchange;

fs::path gCorpus;

std::vector<char> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put(const std::string& target, const std::string& name, const void* bytes, std::size_t size) {
    fs::create_directories(gCorpus / target);
    std::ofstream out(gCorpus / target / ("seed-" + name), std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    if (!out.flush()) {
        std::cerr << "cannot write " << (gCorpus / target / name) << "\n";
        std::exit(1);
    }
}

void put(const std::string& target, const std::string& name, const std::vector<char>& bytes) {
    put(target, name, bytes.data(), bytes.size());
}

void put(const std::string& target, const std::string& name, const std::string& text) {
    put(target, name, text.data(), text.size());
}

std::vector<ex::PointRecord> cloud(std::size_t n, float spread) {
    std::vector<ex::PointRecord> records(n);
    for (std::size_t i = 0; i < n; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(n);
        records[i] = {t, 1.0f - t, t * spread, t, 0.5f, 1.0f - t, {0, 0}};
    }
    return records;
}

// The header and the active buffer's records of a block after publishes.
void blockSeeds() {
    std::vector<std::byte> block(ex::kBlockSize);
    const ex::BlockView view(block.data());
    orvalis::plugin::initialiseBlockHeader(view);
    view.u32(ex::offset::pluginCount).store(1);
    auto take = [&](const std::string& name) {
        const auto& h = view.header();
        const std::uint32_t n = h.activeBuffer <= 1 ? h.pointCount[h.activeBuffer] : 0;
        std::vector<char> bytes(ex::offset::header + n * sizeof(ex::PointRecord));
        std::memcpy(bytes.data(), block.data(), ex::offset::header);
        if (n > 0) {
            std::memcpy(bytes.data() + ex::offset::header, view.buffer(h.activeBuffer), n * sizeof(ex::PointRecord));
        }
        put("fuzz_exchange_block", name, bytes);
    };
    take("created");
    orvalis::plugin::publishToBlock(view, cloud(5, 1.0f), 4.0f, 2);
    take("publish-5");
    orvalis::plugin::publishToBlock(view, cloud(3, 1.5f), 2.5f, 3);  // out of range, buffer 0
    take("publish-3-out-of-range");
    orvalis::plugin::publishToBlock(view, {}, 4.0f, 4);
    take("publish-empty");
}

void pointsFileSeeds(const fs::path& scratch) {
    orvalis::plugin::writePointsFiles(scratch.string(), cloud(4, 1.0f), 4.0f);
    put("fuzz_points_file", "fallback-4", readAll(scratch / ex::kFallbackFileName));
    orvalis::plugin::writePointsFiles(scratch.string(), cloud(9, 1.2f), 3.0f);
    put("fuzz_points_file", "points-9", readAll(scratch / ex::kPointsFileName));
    put("fuzz_points_file", "config", readAll(scratch / ex::kConfigFileName));
}

void settingsSeeds(const fs::path& scratch) {
    const fs::path file = scratch / "settings.ini";
    const orvalis::platform::SettingValue on[] = {
        {"BackgroundColor", 1}, {"HighlightOutOfRange", 0}, {"GamutIndicator", 1}};
    orvalis::platform::writeSettingValues(file.string(), on);
    put("fuzz_settings_file", "written", readAll(file));
    const orvalis::platform::SettingValue off[] = {
        {"BackgroundColor", 0}, {"HighlightOutOfRange", 1}, {"GamutIndicator", 4294967295u}};
    orvalis::platform::writeSettingValues(file.string(), off);
    put("fuzz_settings_file", "written-max", readAll(file));
}

// The viewer's icon with only its smallest entries, so the seed stays small.
void iconSeeds(const fs::path& root) {
    const std::vector<char> ico = readAll(root / "Viewer/Resources/mirabloc_logo_c.ico");
    auto u16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(ico.at(at))) |
               static_cast<unsigned>(static_cast<unsigned char>(ico.at(at + 1))) << 8;
    };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    const unsigned count = u16(4);
    std::vector<std::vector<char>> kept;  // directory entry, then data
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t at = 6 + 16 * i;
        const unsigned side = static_cast<unsigned char>(ico.at(at));
        if (side == 0 || side > 24) {
            continue;
        }
        std::vector<char> entry(ico.begin() + static_cast<long>(at), ico.begin() + static_cast<long>(at + 16));
        const std::size_t bytes = u32(at + 8), offset = u32(at + 12);
        std::vector<char> data(ico.begin() + static_cast<long>(offset),
                               ico.begin() + static_cast<long>(offset + bytes));
        kept.push_back(std::move(entry));
        kept.push_back(std::move(data));
    }
    if (kept.empty()) {
        std::cerr << "the icon has no small entries\n";
        std::exit(1);
    }
    const std::size_t entries = kept.size() / 2;
    std::vector<char> out = {0, 0, 1, 0, static_cast<char>(entries), 0};
    std::size_t offset = 6 + 16 * entries;
    for (std::size_t i = 0; i < entries; ++i) {
        std::vector<char> entry = kept[2 * i];
        for (int k = 0; k < 4; ++k) {
            entry[12 + k] = static_cast<char>((offset >> (8 * k)) & 0xFF);
        }
        out.insert(out.end(), entry.begin(), entry.end());
        offset += kept[2 * i + 1].size();
    }
    for (std::size_t i = 0; i < entries; ++i) {
        out.insert(out.end(), kept[2 * i + 1].begin(), kept[2 * i + 1].end());
    }
    for (const int side : {16, 20, 48}) {  // the first byte is the side asked for, less one
        std::vector<char> seed(1, static_cast<char>(side - 1));
        seed.insert(seed.end(), out.begin(), out.end());
        put("fuzz_icon_file", "viewer-icon-" + std::to_string(side), seed);
    }
}

void imageSeeds(const fs::path& scratch) {
    const auto frame = ofxhost::makeSampleFrame(6, 4);
    const std::pair<const char*, ofxhost::Depth> files[] = {{"sample.pfm", ofxhost::Depth::Float},
                                                            {"sample8.pam", ofxhost::Depth::UByte},
                                                            {"sample16.pam", ofxhost::Depth::UShort},
                                                            {"sample.ppm", ofxhost::Depth::UByte},
                                                            {"sample16.pgm", ofxhost::Depth::UShort}};
    for (const auto& [name, depth] : files) {
        std::string error;
        if (!ofxhost::writeImage((scratch / name).string(), *ofxhost::convertImage(*frame, depth), error)) {
            std::cerr << error << "\n";
            std::exit(1);
        }
        put("fuzz_image_file", name, readAll(scratch / name));
    }
}

void textSeeds() {
    put("fuzz_param_value", "choice-text", std::string("mode=Invert"));
    put("fuzz_param_value", "choice-index", std::string("mode=2"));
    put("fuzz_param_value", "boolean", std::string("flag=off"));
    put("fuzz_param_value", "integer", std::string("count=3"));
    put("fuzz_param_value", "double", std::string("gain=2.75"));
    put("fuzz_param_value", "double3d", std::string("pos=0.5,-1,1e3"));
    put("fuzz_param_value", "string", std::string("note=a=b"));

    put("fuzz_system_text", "os-release",
        std::string("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian "
                    "GNU/Linux\"\nVERSION_ID=\"12\"\nID=debian\n"));
    put("fuzz_system_text", "meminfo",
        std::string("MemTotal:       16318412 kB\nMemFree:         1203840 kB\nMemAvailable:    9876543 kB\n"));
    put("fuzz_system_text", "status",
        std::string("Name:\tVantorel\nVmPeak:\t  612344 kB\nVmRSS:\t   85320 kB\nVmSwap:\t       0 kB\nThreads:\t4\n"));
    put("fuzz_system_text", "pci-id", std::string("0x10de\n"));

    auto gl = [](const std::string& name, std::int32_t major, std::int32_t minor, const std::string& vendor,
                 const std::string& renderer, const std::string& version, const std::string& glsl) {
        std::string seed(8, '\0');
        std::memcpy(seed.data(), &major, 4);
        std::memcpy(seed.data() + 4, &minor, 4);
        seed += vendor + '\0' + renderer + '\0' + version + '\0' + glsl;
        put("fuzz_gl_strings", name, seed);
    };
    gl("mesa-4.5", 4, 5, "Mesa", "llvmpipe (LLVM 15.0.6, 256 bits)", "4.5 (Compatibility Profile) Mesa 22.3.6", "4.50");
    gl("nvidia-4.6", 4, 6, "NVIDIA Corporation", "NVIDIA GeForce RTX 3060/PCIe/SSE2", "4.6.0 NVIDIA 535.104.05",
       "4.60 NVIDIA");
    gl("gdi-1.1", 0, 0, "Microsoft Corporation", "GDI Generic", "1.1.0", "");
    gl("legacy-2.1", 0, 0, "Intel", "Mobile Intel(R) 965", "2.1.0 - Build 8.15.10.2869", "1.20  - Intel Build");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_fuzz_seeds <corpus folder> <repository root>\n";
        return 1;
    }
    gCorpus = argv[1];
    std::string scratch = (fs::temp_directory_path() / "orvalis-seeds-XXXXXX").string();
    if (::mkdtemp(scratch.data()) == nullptr) {
        std::cerr << "no scratch folder\n";
        return 1;
    }
    blockSeeds();
    pointsFileSeeds(scratch);
    settingsSeeds(scratch);
    iconSeeds(argv[2]);
    imageSeeds(scratch);
    textSeeds();
    fs::remove_all(scratch);
    return 0;
}
