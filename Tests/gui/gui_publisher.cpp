// Stands in for a plug-in process in the GUI tests: holds the real shared
// block through the plug-in's own writer, counted in pluginCount as an
// instance is, and publishes what it is told. One command per line on
// stdin, one answer line on stdout ("ok ..." or "error ..."):
//   attach                          create or open the block, count in, own the viewer
//   publish <size> [x y z r g b]... a cloud through the writer (no points: an empty cloud)
//   stale <size> [x y z r g b]...   the same with a sequence below the block's last one
//   corrupt-buffer [x y z r g b]... the points in both buffers, activeBuffer 7
//   corrupt-count [x y z r g b]...  the points in the inactive buffer, its count 1,000,001
//   attached                        viewerAttached
//   release                         count out and unmap (pluginCount back down)
//   tempfolder                      this process's temporary folder as a host path
//   clientrect                      the viewer window's client area in screen pixels (Windows)
//   dismiss <title>                 close the window with this title, answer its text (Windows)
//   viewitem                        the View item of the viewer's menu bar in screen pixels (Windows)
//   topmost                         1 when the viewer window is topmost, else 0 (Windows)
//   settings                        the stored settings: Name=value ..., or none (Windows)
//   clear-settings                  remove every stored setting (Windows)
//   quit                            (also the end of the input)
#include <atomic>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "gui_publisher_window.h"
#include "link/exchange_writer.h"
#include "orvalis/platform/paths.h"
#include "orvalis/platform/process.h"

namespace {

using namespace orvalis;
using exchange::PointRecord;
namespace off = exchange::offset;

constexpr std::uint64_t kInstance = 1;

struct Publisher {
    plugin::BlockAttachment block;
    std::atomic<std::uint64_t> counter{1};
    std::uint32_t processId = platform::currentProcessId();

    std::optional<exchange::BlockView> view() const { return block.view(); }

    std::uint64_t previousSequence(const exchange::BlockView& v) const {
        return v.u64(off::sequence).load(std::memory_order_acquire);
    }
};

bool readPoints(std::istringstream& in, std::vector<PointRecord>& points) {
    PointRecord p;
    while (in >> p.x >> p.y >> p.z >> p.r >> p.g >> p.b)
        points.push_back(p);
    return in.eof();
}

// Writes header words and records the way a publish does (sequence 0 while
// the words change, the new number last), but with values a reader must refuse.
void writeMalformed(const exchange::BlockView& v, std::uint64_t sequence, const std::vector<PointRecord>& points,
                    bool badBuffer) {
    v.u64(off::sequence).store(0, std::memory_order_relaxed);
    const std::uint32_t active = v.u32(off::activeBuffer).load();
    const std::uint32_t target = active == 0 ? 1 : 0;
    const auto n = static_cast<std::uint32_t>(points.size());
    if (badBuffer) {
        for (std::uint32_t i = 0; i < 2; ++i) {
            std::memcpy(v.buffer(i), points.data(), points.size() * sizeof(PointRecord));
            v.u32(i == 0 ? off::pointCount0 : off::pointCount1).store(n);
        }
        v.u32(off::activeBuffer).store(7);
    } else {
        std::memcpy(v.buffer(target), points.data(), points.size() * sizeof(PointRecord));
        v.u32(target == 0 ? off::pointCount0 : off::pointCount1).store(exchange::kMaxBlockPoints + 1);
        v.u32(off::activeBuffer).store(target);
    }
    v.u64(off::sequence).store(sequence, std::memory_order_release);
}

std::string handle(Publisher& pub, const std::string& line, bool& quit) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "quit") {
        quit = true;
        return "ok";
    }
    if (command == "attach") {
        if (!pub.block.attached())
            pub.block = plugin::attachBlock();
        const auto v = pub.view();
        if (!v)
            return "error no block";
        plugin::setOwner(*v, kInstance, pub.processId);
        return pub.block.created() ? "ok created" : "ok opened";
    }
    if (command == "tempfolder")
        return "ok " + gui_publisher::hostPath(platform::tempFolder());
    if (command == "clientrect")
        return gui_publisher::viewerClientRect();
    if (command == "viewitem")
        return gui_publisher::viewMenuItemRect();
    if (command == "topmost")
        return gui_publisher::viewerTopmost();
    if (command == "settings")
        return gui_publisher::readSettings();
    if (command == "clear-settings")
        return gui_publisher::clearSettings();
    if (command == "dismiss") {
        std::string title;
        std::getline(in >> std::ws, title);
        return gui_publisher::dismissWindow(title);
    }

    const auto v = pub.view();
    if (!v)
        return "error not attached";
    if (command == "attached")
        return "ok " + std::to_string(v->u32(off::viewerAttached).load());
    if (command == "release") {
        plugin::clearOwnerIf(*v, kInstance, pub.processId);
        pub.block.detach();
        return "ok";
    }

    std::vector<PointRecord> points;
    if (command == "publish" || command == "stale") {
        float size = 0.0f;
        if (!(in >> size) || !readPoints(in, points))
            return "error bad points";
        const std::uint64_t previous = pub.previousSequence(*v);
        std::uint64_t sequence = 0;
        if (command == "publish") {
            sequence = plugin::nextSequence(pub.counter, previous);
        } else {
            if (previous < 2)
                return "error nothing published yet";
            sequence = previous - 1;
        }
        plugin::publishToBlock(*v, points, size, sequence);
        return "ok " + std::to_string(sequence);
    }
    if (command == "corrupt-buffer" || command == "corrupt-count") {
        if (!readPoints(in, points) || points.empty())
            return "error bad points";
        const std::uint64_t sequence = plugin::nextSequence(pub.counter, pub.previousSequence(*v));
        writeMalformed(*v, sequence, points, command == "corrupt-buffer");
        return "ok " + std::to_string(sequence);
    }
    return "error unknown command " + command;
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Publisher pub;
    std::string line;
    bool quit = false;
    std::vector<char> buffer(1 << 20);
    while (!quit && std::fgets(buffer.data(), static_cast<int>(buffer.size()), stdin) != nullptr) {
        line.assign(buffer.data());
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (line.empty())
            continue;
        const std::string answer = handle(pub, line, quit);
        std::printf("%s\n", answer.c_str());
    }
    if (const auto v = pub.view())
        plugin::clearOwnerIf(*v, kInstance, pub.processId);
    pub.block.detach();
    return 0;
}
