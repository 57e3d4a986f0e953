// Writes the seeds of the fuzz targets whose input our own code writes (the
// exchange writer, the settings store, the image writers), so that they
// follow those formats. The other targets' seeds (the icon, system and
// driver texts, parameter values) are committed as they are.
// Usage: make_fuzz_seeds <corpus folder>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "Shared/exchange.h"
#include "Tests/fuzz/fuzz_support.h"
#include "Tests/support/file_text.h"
#include "Tests/support/scratch_folder.h"
#include "link/exchange_writer.h"
#include "ofxhost/image_io.h"
#include "orvalis/platform/settings_store.h"

namespace {

namespace fs = std::filesystem;
namespace ex = orvalis::exchange;
using test_support::fileText;

fs::path gCorpus;

void put(const std::string& target, const std::string& name, const std::string& bytes) {
    fs::create_directories(gCorpus / target);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    fuzz_support::writeFile((gCorpus / target / ("seed-" + name)).string(), data, bytes.size());
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
        std::string bytes(ex::offset::header + n * sizeof(ex::PointRecord), 0);
        std::memcpy(bytes.data(), block.data(), ex::offset::header);
        if (n > 0) {
            std::memcpy(bytes.data() + ex::offset::header, view.buffer(h.activeBuffer), n * sizeof(ex::PointRecord));
        }
        put("fuzz_exchange_block", name, bytes);
    };
    take("created");
    orvalis::plugin::publishToBlock(view, cloud(5, 1.0f), 4.0f, 2);
    take("publish-5");
    orvalis::plugin::publishToBlock(view, cloud(3, 2.0f), 2.5f, 3);  // z up to 1.33: out of range, buffer 0
    take("publish-3-out-of-range");
    orvalis::plugin::publishToBlock(view, {}, 4.0f, 4);
    take("publish-empty");
}

void pointsFileSeeds(const fs::path& scratch) {
    orvalis::plugin::writePointsFiles(scratch.string(), cloud(4, 1.0f), 4.0f);
    put("fuzz_points_file", "fallback-4", fileText(scratch / ex::kFallbackFileName));
    orvalis::plugin::writePointsFiles(scratch.string(), cloud(9, 1.2f), 3.0f);
    put("fuzz_points_file", "points-9", fileText(scratch / ex::kPointsFileName));
    put("fuzz_points_file", "config", fileText(scratch / ex::kConfigFileName));
}

void settingsSeeds(const fs::path& scratch) {
    const fs::path file = scratch / "settings.ini";
    const orvalis::platform::SettingValue on[] = {
        {"BackgroundColor", 1}, {"HighlightOutOfRange", 0}, {"GamutIndicator", 1}};
    orvalis::platform::writeSettingValues(file.string(), on);
    put("fuzz_settings_file", "written", fileText(file));
    const orvalis::platform::SettingValue off[] = {
        {"BackgroundColor", 0}, {"HighlightOutOfRange", 1}, {"GamutIndicator", 4294967295u}};
    orvalis::platform::writeSettingValues(file.string(), off);
    put("fuzz_settings_file", "written-max", fileText(file));
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
        put("fuzz_image_file", name, fileText(scratch / name));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_fuzz_seeds <corpus folder>\n";
        return 1;
    }
    gCorpus = argv[1];
    const test_support::ScratchFolder scratch("orvalis-seeds");
    blockSeeds();
    pointsFileSeeds(scratch.path());
    settingsSeeds(scratch.path());
    imageSeeds(scratch.path());
    return 0;
}
