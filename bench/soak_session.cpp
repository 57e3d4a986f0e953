// A long session, as a colourist leaves one running: the built bundle in our
// host with two instances rendering 1920 x 1080 frames at 24 to 60 frames per
// second, the real viewer started through the plug-in's button, modes and
// parameters switched, instances replaced. Beside the viewer, a reader that
// follows the viewer's read step checks every cloud it takes: one frame's
// records, a count that sampling can give, a sequence that never goes back.
// Resident memory of the host and the viewer is taken at the end of each
// cycle of the schedule, so that the figures compare like with like.
//
//   soak_session [--minutes N] [--bundle PATH]
//
// Exit status: 0 when no cloud was torn, the viewer lived through the run,
// the host's heap came back to its level once loaded when every instance and
// image was gone (a leak shows there, whatever the histories held), and the
// mean memory at the cycle ends of the run's last third is within 10 % of its
// mean over the first third after one minute; 1 otherwise; 2 when the session
// could not be set up; 77 without a display (nothing was run). A run shorter
// than two minutes does not judge the means: the allocator has not settled.
#include "app/exchange_reader.h"
#include "ofxhost/host.h"
#include "orvalis/platform/paths.h"
#include "orvalis/platform/shared_memory.h"

#include <dirent.h>
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace off = orvalis::exchange::offset;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
// The steady end of each cycle lasts until each instance has rendered more
// frames than its history keeps (24 x 5), however slow the machine.
constexpr auto kSteadyFrom = 8s;
constexpr long kSteadyTicks = 150;
constexpr double kMemoryTolerance = 0.10;  // end may exceed the reference by this much
constexpr long kKeptHeapKiB = 8 * 1024;    // what the host may keep at the end beyond its heap once loaded
constexpr std::uint32_t kCaps[] = {100'000, 75'000, 50'000, 25'000, 10'000};  // "downsample" options
constexpr double kRates[] = {24, 25, 30, 50, 60};                             // "frameRate" options
constexpr std::uint32_t kCropCount = 180 * 150;

// ---- what the schedule asks for at a moment of the run ----------------------

struct SlotSettings {
    bool renders = true;
    int mode = 0;  // 0 3D visualization, 1 CubeMap
    int downsample = 2;
    bool crop = false;
    int frameRate = 0;
    double pointSize = 4.0;
    int cubeMapSize = 30;
};

struct Moment {
    SlotSettings slot[2];
    double fps = 24;
};

// Every cycle runs the same course, so that memory at each cycle's end
// compares like with like: 0-7 s the five "downsample" and "FPS" choices in
// turn (1.4 s each, rendering at that rate), slot 1 drawing cube maps during
// the second and third, slot 0 sampling the crop window during the last two;
// at 7 s and 7.5 s each slot's instance is replaced; 7-8 s only slot 1
// renders (the viewer changes hands); from 8 s both publish at 24 fps with
// the default cap until each has rendered 150 frames, which renews each
// history (24 x 5 entries): about 14 s a cycle on a machine that keeps up.
Moment momentAt(long cycle, Clock::duration inCycle) {
    Moment m;
    const auto t = inCycle;
    if (t < 7s) {
        const int v = static_cast<int>(std::chrono::duration<double>(t).count() / 1.4);
        for (SlotSettings& s : m.slot) {
            s.downsample = v;
            s.frameRate = v;
            s.pointSize = 1.0 + (cycle % 10);
        }
        m.fps = kRates[v];
        if (v == 1 || v == 2) {
            m.slot[1].mode = 1;
            m.slot[1].cubeMapSize = 8 + static_cast<int>(cycle % 23);
        }
        if (v >= 3)
            m.slot[0].crop = true;
    } else if (t < 8s) {
        m.slot[0].renders = false;
        m.fps = 30;
    }
    return m;
}

// ---- frames -------------------------------------------------------------------

// Every frame carries its tag in blue, the same in every pixel, over a red
// and green ramp without black; a sampled record's x is the frame's blue, so
// a cloud of one frame has one x throughout.
float tagBlue(std::uint32_t tag) { return static_cast<float>(1 + tag % 255) / 255.0f; }

std::shared_ptr<ofxhost::ImageBuffer> rampImage(ofxhost::Depth depth) {
    auto image = std::make_shared<ofxhost::ImageBuffer>(depth, ofxhost::RectI{0, 0, kWidth, kHeight});
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const float rgba[4] = {0.1f + 0.8f * x / kWidth, 0.1f + 0.8f * y / kHeight, tagBlue(0), 1.0f};
            image->setPixel(x, y, rgba);
        }
    }
    return image;
}

template <class T>
void writeBlue(ofxhost::ImageBuffer& image, T value) {
    for (int y = 0; y < kHeight; ++y) {
        T* p = static_cast<T*>(image.pixelAddress(0, y));
        for (int x = 0; x < kWidth; ++x)
            p[4 * x + 2] = value;
    }
}

void setTag(ofxhost::ImageBuffer& image, std::uint32_t tag) {
    const float blue = tagBlue(tag);
    switch (image.depth()) {
    case ofxhost::Depth::UByte:
        writeBlue<std::uint8_t>(image, static_cast<std::uint8_t>(std::lround(blue * 255.0f)));
        break;
    case ofxhost::Depth::UShort:
        writeBlue<std::uint16_t>(image, static_cast<std::uint16_t>(std::lround(blue * 65535.0f)));
        break;
    case ofxhost::Depth::Float: writeBlue<float>(image, blue); break;
    }
}

// The counts sampling can give a 1920 x 1080 frame: the capped grid of each
// "downsample" option and the crop window.
std::uint32_t gridCount(std::int64_t w, std::int64_t h, std::uint32_t cap) {
    std::int64_t gw = w, gh = h;
    if (w * h > static_cast<std::int64_t>(cap)) {
        const double s = std::sqrt(static_cast<double>(cap) / static_cast<double>(w * h));
        gw = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::floor(static_cast<double>(w) * s)));
        gh = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::floor(static_cast<double>(h) * s)));
        while (gw * gh > static_cast<std::int64_t>(cap)) {
            if (gw >= gh && gw > 1)
                --gw;
            else if (gh > 1)
                --gh;
            else
                break;
        }
    }
    return static_cast<std::uint32_t>(gw * gh);
}

std::set<std::uint32_t> validCounts() {
    std::set<std::uint32_t> counts{kCropCount};
    for (std::uint32_t cap : kCaps)
        counts.insert(gridCount(kWidth, kHeight, cap));
    return counts;
}

// ---- processes and memory -------------------------------------------------------

// VmRSS of a process in KiB; empty when it cannot be read.
std::optional<long> residentKiB(const std::string& pid) {
    std::ifstream status("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return std::nullopt;
}

// Parent pid, command name and state from /proc/<pid>/stat.
struct ProcStat {
    long ppid = 0;
    std::string comm;
    char state = '?';
};

std::optional<ProcStat> procStat(const std::string& pid) {
    std::ifstream file("/proc/" + pid + "/stat");
    std::string text;
    if (!std::getline(file, text))
        return std::nullopt;
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 4 > text.size())
        return std::nullopt;
    ProcStat st;
    st.comm = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 2));
    rest >> st.state >> st.ppid;
    return st;
}

// The viewer this process started: a child named Vantorel that has not ended.
std::optional<std::string> findViewerChild() {
    const long self = static_cast<long>(::getpid());
    DIR* dir = ::opendir("/proc");
    if (dir == nullptr)
        return std::nullopt;
    std::optional<std::string> found;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const auto st = procStat(name);
        if (st && st->ppid == self && st->comm == "Vantorel" && st->state != 'Z') {
            found = name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

bool processAlive(const std::string& pid) {
    const auto st = procStat(pid);
    return st && st->state != 'Z';
}

// ---- the reader beside the viewer -------------------------------------------------

struct ReaderFigures {
    std::uint64_t taken = 0;
    std::uint64_t torn = 0;
    std::uint64_t regressions = 0;
    std::string firstTorn;
};

// Takes clouds with the viewer's read step until told to stop, and checks each.
class CloudReader {
public:
    CloudReader() : thread_([this] { run(); }) {}
    ~CloudReader() { stop(); }
    CloudReader(const CloudReader&) = delete;
    CloudReader& operator=(const CloudReader&) = delete;

    void stop() {
        stop_.store(true);
        if (thread_.joinable())
            thread_.join();
    }
    ReaderFigures figures() const {
        std::lock_guard lock(mutex_);
        return figures_;
    }

private:
    void run() {
        const std::set<std::uint32_t> counts = validCounts();
        std::unique_ptr<orvalis::platform::SharedMemory> block;
        orvalis::viewer::IntakeState state;
        std::uint64_t highest = 0;
        while (!stop_.load()) {
            if (!block) {
                block =
                    orvalis::platform::SharedMemory::open(orvalis::exchange::kBlockName, orvalis::exchange::kBlockSize);
                if (!block) {
                    std::this_thread::sleep_for(20ms);
                    continue;
                }
            }
            const orvalis::exchange::BlockView view(block->data());
            const std::uint64_t seen = view.u64(off::sequence).load(std::memory_order_acquire);
            if (seen != 0 && seen < highest)
                note([&](ReaderFigures& f) { ++f.regressions; });
            highest = std::max(highest, seen);
            if (!orvalis::viewer::readBlockStep(view, state)) {
                std::this_thread::sleep_for(1ms);
                continue;
            }
            const std::string fault = check(state.points, counts);
            note([&](ReaderFigures& f) {
                ++f.taken;
                if (!fault.empty()) {
                    ++f.torn;
                    if (f.firstTorn.empty())
                        f.firstTorn = "sequence " + std::to_string(state.lastSequence) + ": " + fault;
                }
            });
        }
    }

    static std::string check(const std::vector<orvalis::exchange::PointRecord>& points,
                             const std::set<std::uint32_t>& counts) {
        if (points.empty())
            return "empty cloud";
        if (counts.count(static_cast<std::uint32_t>(points.size())) == 0)
            return std::to_string(points.size()) + " records, a count no frame gives";
        const float x = points.front().x;
        for (std::size_t i = 1; i < points.size(); ++i) {
            if (points[i].x != x)
                return "record " + std::to_string(i) + " is from another frame";
        }
        return {};
    }

    template <class F>
    void note(F&& f) {
        std::lock_guard lock(mutex_);
        f(figures_);
    }

    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    ReaderFigures figures_;
    std::thread thread_;
};

// ---- one slot: an instance and the images the host hands it -----------------------------

class Slot {
public:
    Slot(ofxhost::Bundle& bundle, ofxhost::Depth depth) : bundle_(bundle), depth_(depth) {
        output_ = std::make_shared<ofxhost::ImageBuffer>(depth, ofxhost::RectI{0, 0, kWidth, kHeight});
    }

    // A new instance with these settings in place, as a restored project.
    bool create(const SlotSettings& s) {
        std::map<std::string, std::vector<double>> values{{"pluginMode", {double(s.mode)}},
                                                          {"downsample", {double(s.downsample)}},
                                                          {"cropToCubeMap", {s.crop ? 1.0 : 0.0}},
                                                          {"frameRate", {double(s.frameRate)}},
                                                          {"pointSize", {s.pointSize}},
                                                          {"cubeMapSize", {double(s.cubeMapSize)}}};
        auto fresh = bundle_.createInstance(0, "OfxImageEffectContextFilter", values);
        if (!fresh) {
            std::fprintf(stderr, "soak_session: cannot create an instance: %s\n", bundle_.lastError().c_str());
            return false;
        }
        fresh->setClipImage("Output", output_);
        fresh->beginSequenceRender(0, 1e9);
        ++created_;
        destroy();
        instance_ = std::move(fresh);
        settings_ = s;
        return true;
    }

    void releaseImages() {
        sources_.clear();
        output_.reset();
    }

    void destroy() {
        if (!instance_)
            return;
        instance_->endSequenceRender(0, 1e9);
        instance_.reset();
        ++destroyed_;
    }

    // Edits what differs, one parameter at a time, as a user would.
    void apply(const SlotSettings& s) {
        if (!instance_)
            return;
        auto edit = [&](const char* name, double now, double wanted) {
            if (now != wanted)
                instance_->setValue(name, {wanted});
        };
        edit("pluginMode", settings_.mode, s.mode);
        edit("cropToCubeMap", settings_.crop, s.crop);
        edit("downsample", settings_.downsample, s.downsample);
        edit("frameRate", settings_.frameRate, s.frameRate);
        edit("pointSize", settings_.pointSize, s.pointSize);
        edit("cubeMapSize", settings_.cubeMapSize, s.cubeMapSize);
        settings_ = s;
    }

    bool render(std::uint32_t tag) {
        if (!instance_)
            return false;
        auto source = freeSource();
        setTag(*source, tag);
        instance_->setClipImage("Source", source);
        const bool ok = instance_->render(static_cast<double>(frame_++), {0, 0, kWidth, kHeight}) == kOfxStatOK;
        ++rendered_;
        return ok;
    }

    ofxhost::Instance* instance() const { return instance_.get(); }
    std::uint64_t rendered() const { return rendered_; }
    int created() const { return created_; }
    int destroyed() const { return destroyed_; }

private:
    // A source image no one holds any more: the plug-in keeps the images it
    // fetched until its worker has sampled them, and those must not change.
    // Images beyond a few idle ones are let go, as a host frees its cache.
    std::shared_ptr<ofxhost::ImageBuffer> freeSource() {
        std::shared_ptr<ofxhost::ImageBuffer> found;
        std::size_t idle = 0;
        std::erase_if(sources_, [&](const std::shared_ptr<ofxhost::ImageBuffer>& image) {
            if (image.use_count() != 1)
                return false;
            if (!found) {
                found = image;
                return false;
            }
            return ++idle > 2;
        });
        if (!found) {
            found = rampImage(depth_);
            sources_.push_back(found);
        }
        return found;
    }

    ofxhost::Bundle& bundle_;
    ofxhost::Depth depth_;
    std::unique_ptr<ofxhost::Instance> instance_;
    SlotSettings settings_;
    std::shared_ptr<ofxhost::ImageBuffer> output_;
    std::vector<std::shared_ptr<ofxhost::ImageBuffer>> sources_;
    std::uint64_t frame_ = 0;
    std::uint64_t rendered_ = 0;
    int created_ = 0;
    int destroyed_ = 0;
};

// ---- the report ------------------------------------------------------------------------

// The host's resident memory as it stands and after the allocator has given
// back what it holds free: the plug-in's worker threads free clouds of up to
// 3.2 MB in arenas of their own, which glibc keeps, so the first figure swings
// by a quarter from one moment to the next and only the second shows growth.
struct MemorySample {
    double atSeconds = 0;
    long hostKiB = 0;
    long hostLiveKiB = 0;
    long hostHeapKiB = 0;  // allocated and not freed: growth here is a leak, not the allocator
    long viewerKiB = 0;
};

long heapInUseKiB() {
    const struct mallinfo2 heap = ::mallinfo2();
    return static_cast<long>((heap.uordblks + heap.hblkhd) / 1024);
}

std::string mib(long kib) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(kib) / 1024.0);
    return text;
}

std::string percentOver(long value, long reference) {
    if (reference <= 0)
        return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f %%", 100.0 * (static_cast<double>(value) / reference - 1.0));
    return text;
}

bool withinTolerance(long value, long reference) {
    return reference > 0 && static_cast<double>(value) <= reference * (1.0 + kMemoryTolerance);
}

std::string defaultBundle() {
    static int anchor = 0;
    std::string self = orvalis::platform::modulePath(&anchor);
    self.erase(self.find_last_of('/') + 1);
    return self + "../Orvalis.ofx.bundle";
}

template <class Condition>
bool waitFor(Condition condition, Clock::duration deadline) {
    const auto until = Clock::now() + deadline;
    while (!condition()) {
        if (Clock::now() > until)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

int run(double minutes, const std::string& bundlePath) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::printf("soak_session: no DISPLAY, so no viewer can run; nothing was done\n");
        return 77;
    }
    std::string error;
    auto bundle = ofxhost::Bundle::load(bundlePath, error);
    if (!bundle) {
        std::fprintf(stderr, "soak_session: cannot load %s: %s\n", bundlePath.c_str(), error.c_str());
        return 2;
    }
    const auto duration = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(minutes * 60.0));
    const auto referenceAt = minutes >= 2 ? Clock::duration(60s) : Clock::duration(15s);
    // What the host and the plug-in hold with no instance and no image; the
    // same figure at the end, with every instance gone and the images let go,
    // shows a leak apart from how full the histories happened to be.
    const long heapAtLoad = heapInUseKiB();

    Slot slots[2] = {Slot(*bundle, ofxhost::Depth::UByte), Slot(*bundle, ofxhost::Depth::UShort)};
    const Moment first = momentAt(0, 0s);
    if (!slots[0].create(first.slot[0]) || !slots[1].create(first.slot[1]))
        return 2;
    std::uint32_t tag = 0;
    for (Slot& slot : slots)
        slot.render(++tag);

    // The viewer, started the way a user starts it: the plug-in's button.
    CloudReader reader;
    slots[0].instance()->pressButton("open3DViewer");
    std::optional<std::string> viewer;
    waitFor([&] { return (viewer = findViewerChild()).has_value(); }, 20s);
    if (!viewer) {
        std::fprintf(stderr, "soak_session: the viewer did not start (button messages:");
        for (const auto& m : slots[0].instance()->messages())
            std::fprintf(stderr, " [%s] %s", m.type.c_str(), m.text.c_str());
        std::fprintf(stderr, ")\n");
        reader.stop();
        return 2;
    }
    // The viewer's figure is the lowest seen in the cycle's steady part:
    // software GL allocates while it draws, so one look may land mid-frame.
    long viewerLow = 0;
    auto lookAtViewer = [&] {
        const long kib = residentKiB(*viewer).value_or(0);
        viewerLow = viewerLow == 0 ? kib : std::min(viewerLow, kib);
    };
    auto memory = [&](Clock::time_point start) {
        MemorySample s;
        s.atSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        s.hostKiB = residentKiB("self").value_or(0);
        ::malloc_trim(0);
        s.hostLiveKiB = residentKiB("self").value_or(0);
        s.hostHeapKiB = heapInUseKiB();
        lookAtViewer();
        s.viewerKiB = viewerLow;
        viewerLow = 0;
        return s;
    };

    const auto start = Clock::now();
    const MemorySample atStart = memory(start);
    std::optional<MemorySample> reference;
    std::vector<MemorySample> cycleEnds;  // from the reference on
    MemorySample atEnd = atStart;
    long cycle = 0;
    auto cycleStart = start;
    long steadyTicks = 0;
    long replaced[2] = {-1, -1};
    long ticksLate = 0;
    long ticks = 0;
    bool viewerLived = true;
    auto next = start;
    for (;;) {
        const auto now = Clock::now();
        const auto elapsed = now - start;
        auto inCycle = now - cycleStart;
        if (steadyTicks >= kSteadyTicks) {
            // A cycle's end: the same settings and full histories every time.
            const MemorySample sample = memory(start);
            std::printf("  %5.0f s  host %7s MiB (%7s after trim, %7s heap in use)  viewer %7s MiB\n", sample.atSeconds,
                        mib(sample.hostKiB).c_str(), mib(sample.hostLiveKiB).c_str(), mib(sample.hostHeapKiB).c_str(),
                        mib(sample.viewerKiB).c_str());
            std::fflush(stdout);
            if (!reference && elapsed >= referenceAt)
                reference = sample;
            if (reference)
                cycleEnds.push_back(sample);
            atEnd = sample;
            if (!processAlive(*viewer)) {
                viewerLived = false;
                break;
            }
            if (elapsed >= duration)
                break;
            ++cycle;
            cycleStart = Clock::now();
            inCycle = Clock::duration::zero();
            steadyTicks = 0;
        }
        if (elapsed >= duration + std::chrono::minutes(5))
            break;  // a cycle that never ends: reported without an end figure
        const Moment m = momentAt(cycle, inCycle);
        // Once per cycle each instance goes and a new one comes, the new one
        // first so that the viewer always has a plug-in to follow.
        const int replace = inCycle >= 7500ms ? 1 : (inCycle >= 7s ? 0 : -1);
        if (replace >= 0 && replaced[replace] != cycle) {
            replaced[replace] = cycle;
            if (!slots[replace].create(m.slot[replace]))
                break;
        }
        for (int i = 0; i < 2; ++i) {
            slots[i].apply(m.slot[i]);
            if (m.slot[i].renders)
                slots[i].render(++tag);
        }
        ++ticks;
        if (inCycle >= kSteadyFrom && ++steadyTicks % 6 == 0)
            lookAtViewer();
        next += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / m.fps));
        if (next < Clock::now()) {
            ++ticksLate;
            next = Clock::now();
        }
        std::this_thread::sleep_until(next);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::uint64_t frames = slots[0].rendered() + slots[1].rendered();

    // Closing the project: the viewer sees no plug-in left and closes itself,
    // after the frame it is drawing; small clouds first keep that frame short
    // on software GL, where 50,000 spheres on one thread take a long while.
    SlotSettings small;
    small.downsample = 4;
    for (int i = 0; i < 48; ++i) {
        for (Slot& slot : slots) {
            slot.apply(small);
            slot.render(++tag);
        }
        std::this_thread::sleep_for(40ms);
    }
    for (Slot& slot : slots)
        slot.destroy();
    const auto closing = Clock::now();
    const bool viewerClosed = waitFor([&] { return !processAlive(*viewer); }, 300s);
    const double closeSeconds = std::chrono::duration<double>(Clock::now() - closing).count();
    if (!viewerClosed)
        ::kill(static_cast<pid_t>(std::stol(*viewer)), SIGTERM);
    reader.stop();
    const ReaderFigures figures = reader.figures();
    for (Slot& slot : slots)
        slot.releaseImages();
    const long heapAtEnd = heapInUseKiB();

    const MemorySample ref = reference.value_or(atStart);
    // How full the histories are at a cycle's end swings by a tenth or more
    // with the machine's load, so growth is judged on the mean of the first
    // third of the cycles against the last third.
    const std::size_t third = cycleEnds.size() / 3;
    auto mean = [&](std::size_t from, long MemorySample::*field) {
        long sum = 0;
        for (std::size_t i = from; i < from + third; ++i)
            sum += cycleEnds[i].*field;
        return third == 0 ? 0 : sum / static_cast<long>(third);
    };
    const std::size_t lastThird = cycleEnds.size() - third;
    std::printf("soak_session: %.1f min, %dx%d, two instances (8-bit and 16-bit), viewer pid %s\n", seconds / 60.0,
                kWidth, kHeight, viewer->c_str());
    std::printf("frames rendered: %llu (%.1f per second in all; %ld of %ld ticks late)\n",
                static_cast<unsigned long long>(frames), frames / seconds, ticksLate, ticks);
    std::printf("viewer closed %.1f s after the last instance went\n", closeSeconds);
    std::printf("instances created: %d, destroyed: %d\n", slots[0].created() + slots[1].created(),
                slots[0].destroyed() + slots[1].destroyed());
    std::printf("clouds taken by a reader following the viewer's read step: %llu\n",
                static_cast<unsigned long long>(figures.taken));
    std::printf("torn clouds: %llu, sequence regressions: %llu%s%s\n", static_cast<unsigned long long>(figures.torn),
                static_cast<unsigned long long>(figures.regressions),
                figures.firstTorn.empty() ? "" : "; first: ", figures.firstTorn.c_str());
    std::printf("resident memory, MiB   start   at %.0f s   end (%.0f s)\n", ref.atSeconds, atEnd.atSeconds);
    std::printf("  host              %7s  %8s  %8s  (%s)\n", mib(atStart.hostKiB).c_str(), mib(ref.hostKiB).c_str(),
                mib(atEnd.hostKiB).c_str(), percentOver(atEnd.hostKiB, ref.hostKiB).c_str());
    std::printf("  host after trim   %7s  %8s  %8s  (%s)\n", mib(atStart.hostLiveKiB).c_str(),
                mib(ref.hostLiveKiB).c_str(), mib(atEnd.hostLiveKiB).c_str(),
                percentOver(atEnd.hostLiveKiB, ref.hostLiveKiB).c_str());
    std::printf("  host heap in use  %7s  %8s  %8s  (%s)\n", mib(atStart.hostHeapKiB).c_str(),
                mib(ref.hostHeapKiB).c_str(), mib(atEnd.hostHeapKiB).c_str(),
                percentOver(atEnd.hostHeapKiB, ref.hostHeapKiB).c_str());
    std::printf(
        "  host heap in use with no instance and no image: %s MiB once loaded, %s MiB at the end (%s MiB more)\n",
        mib(heapAtLoad).c_str(), mib(heapAtEnd).c_str(), mib(heapAtEnd - heapAtLoad).c_str());
    std::printf("  viewer            %7s  %8s  %8s  (%s)\n", mib(atStart.viewerKiB).c_str(), mib(ref.viewerKiB).c_str(),
                mib(atEnd.viewerKiB).c_str(), percentOver(atEnd.viewerKiB, ref.viewerKiB).c_str());
    std::printf("mean at cycle ends, MiB   first third   last third   (%zu cycles each)\n", third);
    std::printf("  host after trim      %8s     %8s   (%s)\n", mib(mean(0, &MemorySample::hostLiveKiB)).c_str(),
                mib(mean(lastThird, &MemorySample::hostLiveKiB)).c_str(),
                percentOver(mean(lastThird, &MemorySample::hostLiveKiB), mean(0, &MemorySample::hostLiveKiB)).c_str());
    std::printf("  viewer               %8s     %8s   (%s)\n", mib(mean(0, &MemorySample::viewerKiB)).c_str(),
                mib(mean(lastThird, &MemorySample::viewerKiB)).c_str(),
                percentOver(mean(lastThird, &MemorySample::viewerKiB), mean(0, &MemorySample::viewerKiB)).c_str());

    std::vector<std::string> faults;
    if (figures.torn != 0 || figures.regressions != 0)
        faults.push_back("torn clouds or sequence regressions");
    if (!viewerLived)
        faults.push_back("the viewer ended during the session");
    if (!viewerClosed)
        faults.push_back("the viewer did not close after the last instance");
    if (!reference)
        faults.push_back("the run ended before the reference point");
    else if (minutes >= 2 &&
             (third == 0 ||
              !withinTolerance(mean(lastThird, &MemorySample::hostLiveKiB), mean(0, &MemorySample::hostLiveKiB)) ||
              !withinTolerance(mean(lastThird, &MemorySample::viewerKiB), mean(0, &MemorySample::viewerKiB))))
        faults.push_back("memory grew more than 10 %");
    if (heapAtEnd - heapAtLoad > kKeptHeapKiB)
        faults.push_back("the host keeps " + mib(heapAtEnd - heapAtLoad) + " MiB more heap with no instance left");
    if (figures.taken == 0)
        faults.push_back("no cloud reached the reader");
    for (const auto& f : faults)
        std::printf("FAIL: %s\n", f.c_str());
    std::printf("%s\n", faults.empty() ? "PASS" : "FAIL");
    return faults.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    double minutes = 1;
    std::string bundle = defaultBundle();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--minutes" && i + 1 < argc) {
            minutes = std::strtod(argv[++i], nullptr);
        } else if (a == "--bundle" && i + 1 < argc) {
            bundle = argv[++i];
        } else {
            std::fprintf(stderr, "usage: soak_session [--minutes N] [--bundle PATH]\n");
            return 2;
        }
    }
    if (!(minutes > 0 && minutes <= 24 * 60)) {
        std::fprintf(stderr, "soak_session: --minutes takes a number above 0\n");
        return 2;
    }
    return run(minutes, bundle);
}
