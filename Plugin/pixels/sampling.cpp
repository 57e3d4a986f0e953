#include "sampling.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace orvalis::plugin {

namespace {

template <class Pix>
inline Rgb loadRgb(const unsigned char* p) noexcept {
    return Rgb{loadUnit<Pix>(p), loadUnit<Pix>(p + sizeof(Pix)), loadUnit<Pix>(p + 2 * sizeof(Pix))};
}

// Appends the pixels at every (column, row) pair, rows outer; columns are
// byte offsets within a row, computed once for all rows.
template <class Pix>
void gather(const PixelView& view, std::span<const int> rows, std::span<const std::ptrdiff_t> columnOffsets,
            std::vector<Rgb>& out) {
    const auto* base = static_cast<const unsigned char*>(view.data);
    for (const int py : rows) {
        const unsigned char* row = base + static_cast<std::ptrdiff_t>(py) * view.rowBytes;
        for (const std::ptrdiff_t offset : columnOffsets) {
            out.push_back(loadRgb<Pix>(row + offset));
        }
    }
}

void gatherAny(const PixelView& view, std::span<const int> rows, std::span<const std::ptrdiff_t> columnOffsets,
               std::vector<Rgb>& out) {
    out.reserve(out.size() + rows.size() * columnOffsets.size());
    switch (view.depth) {
    case PixelDepth::UShort: gather<std::uint16_t>(view, rows, columnOffsets, out); break;
    case PixelDepth::Float: gather<float>(view, rows, columnOffsets, out); break;
    default: gather<std::uint8_t>(view, rows, columnOffsets, out); break;
    }
}

// Nearest source index for grid index i of n over a source extent of size.
inline int nearestIndex(int i, int size, int n) noexcept {
    const double v = std::floor(static_cast<double>(i) * static_cast<double>(size) / static_cast<double>(n));
    if (!(v >= 0.0)) {
        return 0;
    }
    return v > static_cast<double>(size - 1) ? size - 1 : static_cast<int>(v);
}

inline bool isNonBlack(const Rgb& c) noexcept {
    constexpr float kBlackLimit = 0.001f;
    return c.r > kBlackLimit || c.g > kBlackLimit || c.b > kBlackLimit;
}

// Inclusive box around the non-black samples; found is false when none is.
struct Box {
    int minX, maxX, minY, maxY;
    bool found;
};

Box nonBlackBox(const SampleGrid& grid) noexcept {
    Box box{grid.gw, -1, grid.gh, -1, false};
    const std::size_t size = grid.samples.size();
    const std::size_t gw = static_cast<std::size_t>(grid.gw);
    for (int y = 0; y < grid.gh; ++y) {
        const std::size_t rowStart = static_cast<std::size_t>(y) * gw;
        if (rowStart >= size) {
            break;
        }
        const int count = static_cast<int>(std::min(gw, size - rowStart));
        const Rgb* row = grid.samples.data() + rowStart;
        // The first and last non-black sample of a row settle the row's share
        // of the box; everything between them need not be looked at.
        int first = 0;
        while (first < count && !isNonBlack(row[first])) {
            ++first;
        }
        if (first == count) {
            continue;
        }
        int last = count - 1;
        while (last > first && !isNonBlack(row[last])) {
            --last;
        }
        box.minX = std::min(box.minX, first);
        box.maxX = std::max(box.maxX, last);
        box.minY = std::min(box.minY, y);
        box.maxY = std::max(box.maxY, y);
        box.found = true;
    }
    return box;
}

// Calls f(pointer, count) for each row's part of the box, bottom row first.
template <class F>
void forEachBoxRow(const SampleGrid& grid, const Box& box, F&& f) {
    const std::size_t size = grid.samples.size();
    for (int y = box.minY; y <= box.maxY; ++y) {
        const std::size_t start = static_cast<std::size_t>(y) * static_cast<std::size_t>(grid.gw) + box.minX;
        if (start >= size) {
            break;
        }
        const std::size_t count = std::min<std::size_t>(box.maxX - box.minX + 1, size - start);
        f(grid.samples.data() + start, count);
    }
}

inline exchange::PointRecord toRecord(const Rgb& c) noexcept {
    exchange::PointRecord rec;
    rec.x = c.b;
    rec.y = c.g;
    rec.z = c.r;
    rec.r = c.r;
    rec.g = c.g;
    rec.b = c.b;
    return rec;
}

}  // namespace

SampleGrid sampleGrid(const PixelView& view, std::uint32_t cap) {
    SampleGrid grid;
    if (!isUsable(view)) {
        return grid;
    }
    const int w = static_cast<int>(viewWidth(view));
    const int h = static_cast<int>(viewHeight(view));
    std::int64_t gw = w;
    std::int64_t gh = h;
    const std::int64_t area = std::int64_t{w} * h;
    if (area > static_cast<std::int64_t>(cap)) {
        const double s = std::sqrt(static_cast<double>(cap) / static_cast<double>(area));
        gw = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::floor(w * s)));
        gh = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::floor(h * s)));
        while (gw * gh > static_cast<std::int64_t>(cap)) {
            if (gw >= gh && gw > 1) {
                --gw;
            } else if (gh > 1) {
                --gh;
            } else {
                break;
            }
        }
    }
    grid.gw = static_cast<int>(gw);
    grid.gh = static_cast<int>(gh);

    std::vector<int> rows(static_cast<std::size_t>(gh));
    for (int j = 0; j < grid.gh; ++j) {
        rows[j] = nearestIndex(j, h, grid.gh);
    }
    std::vector<std::ptrdiff_t> columns(static_cast<std::size_t>(gw));
    const std::ptrdiff_t pixelBytes = bytesPerPixel(view.depth);
    for (int i = 0; i < grid.gw; ++i) {
        columns[i] = nearestIndex(i, w, grid.gw) * pixelBytes;
    }
    gatherAny(view, rows, columns, grid.samples);
    return grid;
}

void trimBlackBorder(SampleGrid& grid) {
    if (grid.samples.empty() || grid.gw < 1 || grid.gh < 1) {
        grid = {};
        return;
    }
    const Box box = nonBlackBox(grid);
    if (!box.found) {
        return;
    }
    // Rows move towards the front only, so one forward pass compacts them
    // without a second buffer.
    std::size_t kept = 0;
    forEachBoxRow(grid, box, [&](const Rgb* p, std::size_t n) {
        std::copy(p, p + n, grid.samples.begin() + static_cast<std::ptrdiff_t>(kept));
        kept += n;
    });
    grid.samples.resize(kept);
    grid.gw = box.maxX - box.minX + 1;
    grid.gh = box.maxY - box.minY + 1;
}

std::vector<Rgb> cropSamples(const PixelView& view) {
    std::vector<Rgb> out;
    if (!isUsable(view)) {
        return out;
    }
    const int cw = static_cast<int>(std::min<std::int64_t>(viewWidth(view), kBackingWidth));
    const int ch = static_cast<int>(std::min<std::int64_t>(viewHeight(view), kBackingHeight));
    int rows[kBackingHeight];
    std::ptrdiff_t columns[kBackingWidth];
    for (int py = 0; py < ch; ++py) {
        rows[py] = py;
    }
    for (int px = 0; px < cw; ++px) {
        columns[px] = static_cast<std::ptrdiff_t>(px) * bytesPerPixel(view.depth);
    }
    gatherAny(view, std::span<const int>(rows, ch), std::span<const std::ptrdiff_t>(columns, cw), out);
    return out;
}

PointRecordList buildPointRecords(std::span<const Rgb> samples) {
    PointRecordList records;
    records.reserve(samples.size());
    for (const Rgb& c : samples) {
        records.push_back(toRecord(c));
    }
    return records;
}

PointRecordList samplePoints(const PixelView& view, bool crop, std::uint32_t cap) {
    if (!isUsable(view)) {
        return {};
    }
    if (crop) {
        return buildPointRecords(cropSamples(view));
    }
    SampleGrid grid = sampleGrid(view, cap);
    trimBlackBorder(grid);
    return buildPointRecords(grid.samples);
}

}  // namespace orvalis::plugin
