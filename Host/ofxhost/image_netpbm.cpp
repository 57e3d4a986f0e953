// PFM, PAM and PPM/PGM: simple formats we read and write ourselves, so that
// the command-line host has image files on every platform.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "ofxhost/image_io.h"

namespace ofxhost::detail {

namespace {

constexpr long long kMaxPixels = 1LL << 28;

std::string lowerExtension(const std::string& path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

// UTF-8 path to a stream-openable path (UTF-16 on Windows).
std::filesystem::path fsPath(const std::string& s) { return std::filesystem::path(std::u8string(s.begin(), s.end())); }

bool isOurs(const std::string& ext) {
    return ext == "pfm" || ext == "pam" || ext == "ppm" || ext == "pgm" || ext == "pnm";
}

// Reads header tokens, skipping blanks and # comments.
class Tokens {
public:
    explicit Tokens(const std::vector<unsigned char>& bytes) : b_(bytes) {}
    std::string next() {
        for (;;) {
            while (pos_ < b_.size() && std::isspace(b_[pos_]))
                ++pos_;
            if (pos_ < b_.size() && b_[pos_] == '#') {
                while (pos_ < b_.size() && b_[pos_] != '\n')
                    ++pos_;
                continue;
            }
            break;
        }
        std::string t;
        while (pos_ < b_.size() && !std::isspace(b_[pos_]) && t.size() < 64)
            t += char(b_[pos_++]);
        return t;
    }
    // Exactly one white-space byte separates the header from the samples.
    std::size_t dataStart() { return pos_ + 1; }
    std::string line() {
        while (pos_ < b_.size() && std::isspace(b_[pos_]))
            ++pos_;
        std::string t;
        while (pos_ < b_.size() && b_[pos_] != '\n' && t.size() < 256)
            t += char(b_[pos_++]);
        return t;
    }

private:
    const std::vector<unsigned char>& b_;
    std::size_t pos_ = 0;
};

bool toInt(const std::string& s, long long& v) {
    if (s.empty() || s.size() > 12)
        return false;
    v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    return true;
}

bool sizeOk(long long w, long long h) { return w > 0 && h > 0 && w <= 1000000 && h <= 1000000 && w * h <= kMaxPixels; }

std::shared_ptr<ImageBuffer> fail(std::string& error, const std::string& path, const std::string& why) {
    error = path + ": " + why;
    return nullptr;
}

}  // namespace

bool isNetpbmName(const std::string& path) { return isOurs(lowerExtension(path)); }

std::shared_ptr<ImageBuffer> readNetpbm(const std::string& path, std::string& error) {
    error.clear();
    if (!isOurs(lowerExtension(path)))
        return nullptr;
    std::ifstream file(fsPath(path), std::ios::binary);
    if (!file)
        return fail(error, path, "cannot open");
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Tokens tokens(bytes);
    const std::string magic = tokens.next();
    long long w = 0, h = 0, channels = 0, maxval = 0;
    bool isFloat = false, littleEndian = false;
    if (magic == "PF" || magic == "Pf") {
        isFloat = true;
        channels = magic == "PF" ? 3 : 1;
        if (!toInt(tokens.next(), w) || !toInt(tokens.next(), h))
            return fail(error, path, "bad PFM size");
        const std::string scale = tokens.next();
        littleEndian = !scale.empty() && scale[0] == '-';
    } else if (magic == "P6" || magic == "P5") {
        channels = magic == "P6" ? 3 : 1;
        if (!toInt(tokens.next(), w) || !toInt(tokens.next(), h) || !toInt(tokens.next(), maxval))
            return fail(error, path, "bad header");
    } else if (magic == "P7") {
        for (;;) {
            const std::string key = tokens.next();
            if (key.empty())
                return fail(error, path, "PAM header has no ENDHDR");
            if (key == "ENDHDR")
                break;
            const std::string value = key == "TUPLTYPE" ? tokens.line() : tokens.next();
            long long v = 0;
            if (key == "WIDTH" && toInt(value, v))
                w = v;
            else if (key == "HEIGHT" && toInt(value, v))
                h = v;
            else if (key == "DEPTH" && toInt(value, v))
                channels = v;
            else if (key == "MAXVAL" && toInt(value, v))
                maxval = v;
        }
    } else {
        return fail(error, path, "not a PFM, PAM, PPM or PGM file");
    }
    if (!sizeOk(w, h))
        return fail(error, path, "unsupported image size");
    if (channels < 1 || channels > 4)
        return fail(error, path, "unsupported channel count");
    if (!isFloat && (maxval < 1 || maxval > 65535))
        return fail(error, path, "bad MAXVAL");
    const int bytesPerSample = isFloat ? 4 : (maxval > 255 ? 2 : 1);
    const std::size_t start = tokens.dataStart();
    const std::size_t need = static_cast<std::size_t>(w * h * channels * bytesPerSample);
    if (start > bytes.size() || bytes.size() - start < need)
        return fail(error, path, "file is truncated");

    auto image = std::make_shared<ImageBuffer>(Depth::Float, RectI{0, 0, int(w), int(h)});
    const unsigned char* p = bytes.data() + start;
    auto sample = [&](std::size_t i) -> float {
        const unsigned char* s = p + i * static_cast<std::size_t>(bytesPerSample);
        if (isFloat) {
            std::uint32_t u = littleEndian ? (std::uint32_t(s[0]) | std::uint32_t(s[1]) << 8 |
                                              std::uint32_t(s[2]) << 16 | std::uint32_t(s[3]) << 24)
                                           : (std::uint32_t(s[3]) | std::uint32_t(s[2]) << 8 |
                                              std::uint32_t(s[1]) << 16 | std::uint32_t(s[0]) << 24);
            float f;
            std::memcpy(&f, &u, 4);
            return f;
        }
        const unsigned v = bytesPerSample == 2 ? (unsigned(s[0]) << 8 | s[1]) : s[0];
        return float(v) / float(maxval);
    };
    for (long long row = 0; row < h; ++row) {
        // PFM stores the bottom row first; the others the top row first.
        const int y = isFloat ? int(row) : int(h - 1 - row);
        for (long long x = 0; x < w; ++x) {
            const std::size_t base = static_cast<std::size_t>((row * w + x) * channels);
            float rgba[4] = {0, 0, 0, 1};
            if (channels <= 2) {
                rgba[0] = rgba[1] = rgba[2] = sample(base);
                if (channels == 2)
                    rgba[3] = sample(base + 1);
            } else {
                for (int c = 0; c < channels; ++c)
                    rgba[c] = sample(base + static_cast<std::size_t>(c));
            }
            image->setPixel(int(x), y, rgba);
        }
    }
    return image;
}

bool writeNetpbm(const std::string& path, const ImageBuffer& image, std::string& error, bool& handled) {
    error.clear();
    const std::string ext = lowerExtension(path);
    handled = isOurs(ext);
    if (!handled)
        return false;
    const int w = image.width(), h = image.height();
    const RectI b = image.bounds();
    std::vector<unsigned char> out;
    auto put = [&](const std::string& s) { out.insert(out.end(), s.begin(), s.end()); };
    float rgba[4];
    if (ext == "pfm") {
        put("PF\n" + std::to_string(w) + " " + std::to_string(h) + "\n-1.0\n");
        for (int y = b.y1; y < b.y2; ++y)  // bottom row first
            for (int x = b.x1; x < b.x2; ++x) {
                image.getPixel(x, y, rgba);
                for (int c = 0; c < 3; ++c) {
                    std::uint32_t u;
                    std::memcpy(&u, &rgba[c], 4);
                    for (int k = 0; k < 4; ++k)
                        out.push_back(static_cast<unsigned char>(u >> (8 * k)));
                }
            }
    } else {
        const bool wide = image.depth() != Depth::UByte;
        const unsigned maxval = wide ? 65535u : 255u;
        const int channels = ext == "pam" ? 4 : ext == "pgm" ? 1 : 3;
        if (ext == "pam")
            put("P7\nWIDTH " + std::to_string(w) + "\nHEIGHT " + std::to_string(h) + "\nDEPTH 4\nMAXVAL " +
                std::to_string(maxval) + "\nTUPLTYPE RGB_ALPHA\nENDHDR\n");
        else
            put(std::string(channels == 1 ? "P5\n" : "P6\n") + std::to_string(w) + " " + std::to_string(h) + "\n" +
                std::to_string(maxval) + "\n");
        for (int y = b.y2 - 1; y >= b.y1; --y)  // top row first
            for (int x = b.x1; x < b.x2; ++x) {
                image.getPixel(x, y, rgba);
                if (channels == 1)
                    rgba[0] = 0.2126f * rgba[0] + 0.7152f * rgba[1] + 0.0722f * rgba[2];
                for (int c = 0; c < channels; ++c) {
                    const float v = rgba[c] >= 1.0f ? 1.0f : (rgba[c] > 0.0f ? rgba[c] : 0.0f);
                    const unsigned q = static_cast<unsigned>(v * float(maxval) + 0.5f);
                    if (wide)
                        out.push_back(static_cast<unsigned char>(q >> 8));
                    out.push_back(static_cast<unsigned char>(q & 0xFF));
                }
            }
    }
    std::ofstream file(fsPath(path), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!file.flush()) {
        error = path + ": cannot write";
        return false;
    }
    return true;
}

}  // namespace ofxhost::detail
