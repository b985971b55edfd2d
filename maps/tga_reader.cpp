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

namespace {

struct Header {
    int idLength = 0, width = 0, height = 0, bits = 0, descriptor = 0;
    bool runs = false;
    std::size_t Count() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
    std::size_t Depth() const { return static_cast<std::size_t>(bits / 8); }
    // A run-length packet of a header byte and one pixel stands for at most 128 pixels.
    std::size_t LeastBytes() const { return runs ? (Count() + 127) / 128 * (1 + Depth()) : Count() * Depth(); }
};

bool ReadHeader(const std::uint8_t* h, Header& header) {
    const int mapType = h[1], type = h[2];
    header = {h[0], h[12] | (h[13] << 8), h[14] | (h[15] << 8), h[16], h[17], (type & kRunLength) != 0};
    const int kind = type & ~kRunLength;
    const bool grey = kind == kGrey && header.bits == 8;
    const bool colour = kind == kTrueColour && (header.bits == 24 || header.bits == 32);
    return mapType == 0 && (grey || colour) && header.width > 0 && header.height > 0 && header.width <= kMaxSide &&
           header.height <= kMaxSide;
}

}  // namespace

bool Plausible(std::string_view bytes, std::uint64_t size) {
    Header header;
    if (bytes.size() < 18 || !ReadHeader(reinterpret_cast<const std::uint8_t*>(bytes.data()), header)) return false;
    return size >= 18 + static_cast<std::uint64_t>(header.idLength) &&
           header.LeastBytes() <= size - 18 - static_cast<std::uint64_t>(header.idLength);
}

bool Read(std::string_view bytes, Image& image) {
    Reader reader(bytes);
    const std::uint8_t* h = nullptr;
    Header header;
    if (!reader.Take(18, h) || !ReadHeader(h, header)) return false;
    if (!reader.Skip(static_cast<std::size_t>(header.idLength))) return false;
    // Nothing is allocated for pixels the file cannot hold.
    if (header.LeastBytes() > reader.Remaining()) return false;
    std::vector<std::uint8_t> pixels;
    if (!ReadPixels(reader, header.runs, header.bits / 8, header.Count(), pixels)) return false;
    const int width = header.width, height = header.height;
    // Bit 5 of the descriptor: the first row is the top one.
    const bool topFirst = (header.descriptor & 0x20) != 0;
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
