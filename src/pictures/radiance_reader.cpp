#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "lumenpull/error.h"
#include "pictures/picture_readers.h"

namespace lumenpull {

namespace {

// Rows this wide may be run-length scanlines; the writer makes them so.
constexpr uint32_t kMinScanlineWidth = 8;
constexpr uint32_t kMaxScanlineWidth = 32767;

// Red, green, blue mantissas and an exponent as linear values. The writer
// truncates value × 255 / 2^(e - 128) to the mantissa, so the middle of the
// mantissa's interval is the value it stood for; encoding that again gives
// the same four bytes. A zero mantissa or exponent stays zero.
void putRgbe(const uint8_t* rgbe, float* out) {
    if (rgbe[3] == 0) {
        out[0] = out[1] = out[2] = 0.0f;
        return;
    }
    const double scale = std::ldexp(1.0 / 255.0, rgbe[3] - 128);
    for (int c = 0; c < 3; ++c) out[c] = rgbe[c] == 0 ? 0.0f : static_cast<float>((rgbe[c] + 0.5) * scale);
}

class Cursor {
public:
    explicit Cursor(std::span<const uint8_t> file) : file_(file) {}

    std::string_view line() {
        std::size_t end = at_;
        while (end < file_.size() && file_[end] != '\n') ++end;
        if (end == file_.size()) throw Error("Truncated Radiance file");
        const std::string_view text(reinterpret_cast<const char*>(file_.data()) + at_, end - at_);
        at_ = end + 1;
        return text;
    }
    const uint8_t* take(std::size_t bytes) {
        if (file_.size() - at_ < bytes) throw Error("Truncated Radiance file");
        const uint8_t* from = file_.data() + at_;
        at_ += bytes;
        return from;
    }
    bool startsScanline(uint32_t width) const {
        return file_.size() - at_ >= 4 && file_[at_] == 2 && file_[at_ + 1] == 2 && file_[at_ + 2] < 128 &&
               (uint32_t{file_[at_ + 2]} << 8 | file_[at_ + 3]) == width;
    }
    std::size_t rest() const { return file_.size() - at_; }

private:
    std::span<const uint8_t> file_;
    std::size_t at_ = 0;
};

uint32_t resolutionNumber(std::string_view text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string_view::npos) {
        throw Error("Radiance resolution line not read (only -Y height +X width)");
    }
    return static_cast<uint32_t>(std::strtoul(std::string(text).c_str(), nullptr, 10));
}

}  // namespace

Picture readRadiance(std::span<const uint8_t> file) {
    Cursor cursor(file);
    const std::string_view magic = cursor.line();
    if (magic != "#?RADIANCE" && magic != "#?RGBE") throw Error("Not a Radiance file");
    for (std::string_view line = cursor.line(); !line.empty(); line = cursor.line()) {
        if (line.starts_with("FORMAT=") && line != "FORMAT=32-bit_rle_rgbe") {
            throw Error("Radiance format not read (only 32-bit_rle_rgbe)");
        }
    }
    const std::string_view resolution = cursor.line();
    const std::size_t x = resolution.find(" +X ");
    if (!resolution.starts_with("-Y ") || x == std::string_view::npos) {
        throw Error("Radiance resolution line not read (only -Y height +X width)");
    }
    const uint32_t height = resolutionNumber(resolution.substr(3, x - 3));
    const uint32_t width = resolutionNumber(resolution.substr(x + 4));
    // A run packet of two bytes stands for up to 127 bytes of a plane.
    checkDecodedSize(width, height, 4, cursor.rest(), 64, "Radiance");

    Image image;
    image.shape = {width, height, PixelLayout::RgbFloat};
    image.floats.resize(static_cast<std::size_t>(valuesOf(image.shape)));
    std::vector<uint8_t> row(std::size_t{width} * 4);
    const bool scanlineWidth = width >= kMinScanlineWidth && width <= kMaxScanlineWidth;
    for (uint32_t y = 0; y < height; ++y) {
        if (scanlineWidth && cursor.startsScanline(width)) {
            cursor.take(4);
            // Four planes, red, green, blue, exponent, each as packets.
            for (uint32_t plane = 0; plane < 4; ++plane) {
                for (uint32_t done = 0; done < width;) {
                    const uint8_t packet = *cursor.take(1);
                    const uint32_t count = packet > 128 ? packet - 128u : packet;
                    if (count == 0 || count > width - done) throw Error("Damaged Radiance scanline");
                    if (packet > 128) {
                        const uint8_t value = *cursor.take(1);
                        for (uint32_t i = 0; i < count; ++i) row[std::size_t{done + i} * 4 + plane] = value;
                    } else {
                        const uint8_t* values = cursor.take(count);
                        for (uint32_t i = 0; i < count; ++i) row[std::size_t{done + i} * 4 + plane] = values[i];
                    }
                    done += count;
                }
            }
        } else {
            const uint8_t* flat = cursor.take(row.size());
            std::copy(flat, flat + row.size(), row.begin());
        }
        float* out = &image.floats[std::size_t{y} * width * 3];
        for (uint32_t i = 0; i < width; ++i) putRgbe(&row[std::size_t{i} * 4], out + std::size_t{i} * 3);
    }
    Picture picture;
    picture.images.push_back(std::move(image));
    return picture;
}

}  // namespace lumenpull
