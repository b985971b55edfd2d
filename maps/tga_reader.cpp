#include "maps/tga_reader.h"

#include <algorithm>
#include <cstddef>

namespace tga {

namespace {

constexpr int kTrueColour = 2, kGrey = 3, kRunLength = 8;

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    bool Take(std::size_t n, const std::uint8_t*& out) {
        if (n > bytes_.size() - at_) return false;
        out = reinterpret_cast<const std::uint8_t*>(bytes_.data() + at_);
        at_ += n;
        return true;
    }
    std::size_t Remaining() const { return bytes_.size() - at_; }
    bool Skip(std::size_t n) {
        const std::uint8_t* ignored = nullptr;
        return Take(n, ignored);
    }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

// One pixel of the file as BGRA.
void Put(const std::uint8_t* pixel, int depth, std::uint8_t* out) {
    if (depth == 1) {
        out[0] = out[1] = out[2] = pixel[0];
        out[3] = 255;
        return;
    }
    out[0] = pixel[0];
    out[1] = pixel[1];
    out[2] = pixel[2];
    out[3] = depth == 4 ? pixel[3] : 255;
}

// The pixels in file order: bottom row first unless the header says otherwise.
bool ReadPixels(Reader& reader, bool runs, int depth, std::size_t count, std::vector<std::uint8_t>& out) {
    out.assign(count * 4, 0);
    const std::uint8_t* pixel = nullptr;
    for (std::size_t done = 0; done < count;) {
        std::size_t run = 1;
        bool repeat = false;
        if (runs) {
            const std::uint8_t* head = nullptr;
            if (!reader.Take(1, head)) return false;
            run = (head[0] & 0x7F) + 1u;
            repeat = (head[0] & 0x80) != 0;
            if (run > count - done) return false;
        }
        for (std::size_t k = 0; k < run; ++k, ++done) {
            if ((!repeat || k == 0) && !reader.Take(static_cast<std::size_t>(depth), pixel)) return false;
            Put(pixel, depth, &out[done * 4]);
        }
    }
    return true;
}

}  // namespace

bool Read(std::string_view bytes, Image& image) {
    Reader reader(bytes);
    const std::uint8_t* h = nullptr;
    if (!reader.Take(18, h)) return false;
    const int idLength = h[0], mapType = h[1], type = h[2];
    const int width = h[12] | (h[13] << 8), height = h[14] | (h[15] << 8), bits = h[16], descriptor = h[17];
    const bool runs = (type & kRunLength) != 0;
    const int kind = type & ~kRunLength;
    const bool grey = kind == kGrey && bits == 8, colour = kind == kTrueColour && (bits == 24 || bits == 32);
    if (mapType != 0 || (!grey && !colour) || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        return false;
    }
    if (!reader.Skip(static_cast<std::size_t>(idLength))) return false;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // Nothing is allocated for pixels the file cannot hold: a run-length
    // packet of a header byte and one pixel stands for at most 128 pixels.
    const auto depth = static_cast<std::size_t>(bits / 8);
    const std::size_t least = runs ? (count + 127) / 128 * (1 + depth) : count * depth;
    if (least > reader.Remaining()) return false;
    std::vector<std::uint8_t> pixels;
    if (!ReadPixels(reader, runs, bits / 8, count, pixels)) return false;
    // Bit 5 of the descriptor: the first row is the top one.
    const bool topFirst = (descriptor & 0x20) != 0;
    const std::size_t row = static_cast<std::size_t>(width) * 4;
    image.width = width;
    image.height = height;
    image.bgra.resize(pixels.size());
    for (int y = 0; y < height; ++y) {
        const int from = topFirst ? y : height - 1 - y;
        std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(row * static_cast<std::size_t>(from)), row,
                    image.bgra.begin() + static_cast<std::ptrdiff_t>(row * static_cast<std::size_t>(y)));
    }
    return true;
}

}  // namespace tga
