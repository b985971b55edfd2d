#include "archive/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "archive/zip_format.h"
#include "core/device_names.h"
#include "core/handles.h"

namespace zip {
namespace {

using namespace format;
constexpr std::size_t kChunk = std::size_t{64} * 1024;

std::uint16_t U16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t U32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint64_t U64(const unsigned char* p) { return U32(p) | static_cast<std::uint64_t>(U32(p + 4)) << 32; }

struct Eocd {
    std::uint64_t entries = 0;
    std::uint64_t cdSize = 0;
    std::uint64_t cdOffset = 0;
    std::uint64_t position = 0;
    bool zip64 = false;
};

// The zip64 record, when the classic EOCD marks a field as too large for it.
bool ReadZip64Eocd(Source& source, Eocd& eocd) {
    if (eocd.position < 20) return false;
    unsigned char locator[20];
    if (!source.Read(eocd.position - 20, locator, sizeof locator) || U32(locator) != kZip64LocatorSignature)
        return false;
    const std::uint64_t at = U64(locator + 8);
    unsigned char record[56];
    if (at > eocd.position || !source.Read(at, record, sizeof record) || U32(record) != kZip64EndSignature)
        return false;
    eocd.entries = U64(record + 32);
    eocd.cdSize = U64(record + 40);
    eocd.cdOffset = U64(record + 48);
    eocd.position = at;
    return true;
}

// Searches backwards through the last 65,557 bytes; a comment can hold a fake
// signature, so a candidate must also fit the file.
Status FindEocd(Source& source, Eocd& eocd) {
    const std::uint64_t size = source.Size();
    if (size < kEndSize) return Status::NotZip;
    const std::uint64_t span = std::min<std::uint64_t>(size, kEndSize + 0xFFFF);
    std::string tail(static_cast<std::size_t>(span), '\0');
    if (!source.Read(size - span, tail.data(), tail.size())) return Status::Damaged;
    const auto* bytes = reinterpret_cast<const unsigned char*>(tail.data());
    for (std::size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
        const unsigned char* p = bytes + i;
        if (U32(p) != kEndSignature) continue;
        const std::uint64_t position = size - span + i;
        if (position + kEndSize + U16(p + 20) != size) continue;
        eocd = Eocd{U16(p + 10), U32(p + 12), U32(p + 16), position};
        const bool wide = U16(p + 10) == 0xFFFF || U32(p + 12) == 0xFFFFFFFF || U32(p + 16) == 0xFFFFFFFF;
        if (wide && !ReadZip64Eocd(source, eocd)) return Status::Damaged;
        eocd.zip64 = wide;
        if (eocd.cdOffset > eocd.position || eocd.cdSize > eocd.position - eocd.cdOffset) continue;
        return Status::Ok;
    }
    return Status::NotZip;
}

// Fills the fields that the central header marks as all ones from extra block 0x0001.
bool ApplyZip64Extra(const unsigned char* extra, std::size_t length, Entry& entry, bool wideSize, bool wideComp,
                     bool wideOffset) {
    std::size_t at = 0;
    while (at + 4 <= length) {
        const std::uint16_t id = U16(extra + at), blockSize = U16(extra + at + 2);
        if (at + 4 + blockSize > length) return false;
        if (id == kZip64Extra) {
            const unsigned char* p = extra + at + 4;
            std::size_t left = blockSize;
            auto take = [&](std::uint64_t& field) {
                if (left < 8) return false;
                field = U64(p);
                p += 8;
                left -= 8;
                return true;
            };
            if (wideSize && !take(entry.size)) return false;
            if (wideComp && !take(entry.compressedSize)) return false;
            if (wideOffset && !take(entry.localOffset)) return false;
            return true;
        }
        at += 4 + blockSize;
    }
    return !(wideSize || wideComp || wideOffset);
}

// The traditional PKWARE stream cipher.
class ZipCrypto {
public:
    explicit ZipCrypto(std::string_view password) {
        for (char c : password) Update(static_cast<unsigned char>(c));
    }
    unsigned char Decrypt(unsigned char c) {
        const unsigned t = (k2_ | 2) & 0xFFFF;
        const auto plain = static_cast<unsigned char>(c ^ ((t * (t ^ 1)) >> 8));
        Update(plain);
        return plain;
    }

private:
    static std::uint32_t Crc(std::uint32_t crc, unsigned char b) {
        static const std::array<std::uint32_t, 256> table = [] {
            std::array<std::uint32_t, 256> t{};
            for (std::uint32_t n = 0; n < 256; ++n) {
                std::uint32_t c = n;
                for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                t[n] = c;
            }
            return t;
        }();
        return table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    }
    void Update(unsigned char c) {
        k0_ = Crc(k0_, c);
        k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
        k2_ = Crc(k2_, static_cast<unsigned char>(k1_ >> 24));
    }
    std::uint32_t k0_ = 305419896u, k1_ = 591751049u, k2_ = 878082192u;
};

// Streams an entry's stored bytes, decrypting them when a cipher is given.
class DataReader {
public:
    DataReader(Source& source, std::uint64_t start, std::uint64_t length, ZipCrypto* cipher)
        : source_(source), at_(start), left_(length), cipher_(cipher) {}
    // Next chunk; empty at the end. False when the source ends early.
    bool Next(std::string& chunk) {
        chunk.resize(static_cast<std::size_t>(std::min<std::uint64_t>(left_, kChunk)));
        if (chunk.empty()) return true;
        if (!source_.Read(at_, chunk.data(), chunk.size())) return false;
        at_ += chunk.size();
        left_ -= chunk.size();
        if (cipher_) {
            for (char& c : chunk) c = static_cast<char>(cipher_->Decrypt(static_cast<unsigned char>(c)));
        }
        return true;
    }

private:
    Source& source_;
    std::uint64_t at_;
    std::uint64_t left_;
    ZipCrypto* cipher_;
};

// Counts and checks what reaches the sink: never past the declared size.
class CheckedOutput {
public:
    CheckedOutput(Sink& sink, std::uint64_t limit) : sink_(sink), limit_(limit) {}
    Status Write(const void* data, std::size_t n) {
        if (n > limit_ - written_) return Status::SizeError;
        written_ += n;
        crc_ = crc32_z(crc_, static_cast<const Bytef*>(data), n);
        return sink_.Write(data, n) ? Status::Ok : Status::WriteError;
    }
    Status Finish(const Entry& entry) const {
        if (written_ != entry.size) return Status::SizeError;
        return crc_ == entry.crc ? Status::Ok : Status::CrcError;
    }

private:
    Sink& sink_;
    std::uint64_t limit_;
    std::uint64_t written_ = 0;
    uLong crc_ = crc32_z(0, nullptr, 0);
};

Status CopyStored(DataReader& reader, CheckedOutput& out) {
    std::string chunk;
    for (;;) {
        if (!reader.Next(chunk)) return Status::Damaged;
        if (chunk.empty()) return Status::Ok;
        if (const Status s = out.Write(chunk.data(), chunk.size()); s != Status::Ok) return s;
    }
}

Status Inflate(DataReader& reader, CheckedOutput& out) {
    ZStream inflater(ZStream::Mode::Inflate);
    if (!inflater.ok()) return Status::Damaged;
    z_stream& z = inflater.get();
    std::string chunk;
    std::string buffer(kChunk, '\0');
    int result = Z_OK;
    while (result != Z_STREAM_END) {
        if (z.avail_in == 0) {
            if (!reader.Next(chunk)) return Status::Damaged;
            if (chunk.empty()) return Status::Damaged;
            z.next_in = reinterpret_cast<Bytef*>(chunk.data());
            z.avail_in = static_cast<uInt>(chunk.size());
        }
        z.next_out = reinterpret_cast<Bytef*>(buffer.data());
        z.avail_out = static_cast<uInt>(buffer.size());
        result = inflate(&z, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) return Status::Damaged;
        const std::size_t produced = buffer.size() - z.avail_out;
        if (const Status s = out.Write(buffer.data(), produced); s != Status::Ok) return s;
    }
    return Status::Ok;
}

// The header check byte: the CRC's high byte, or with a data descriptor (bit
// 3) the high byte of the DOS time.
unsigned char CheckByte(const Entry& entry) {
    return static_cast<unsigned char>((entry.flags & kFlagDescriptor) ? entry.modTime >> 8 : entry.crc >> 24);
}

// A component that needs no mapping: no character Windows refuses, no
// trailing dot or blank, no "." or "..", no device name.
bool PlainComponent(std::string_view component) {
    if (component.empty() || component.back() == '.' || component.back() == ' ') return false;
    for (char c : component) {
        if (static_cast<unsigned char>(c) < 32 || std::strchr(":*?\"<>|", c)) return false;
    }
    return !IsDeviceName(component);
}

std::string SafeComponent(std::string_view component) {
    std::string out;
    for (char c : component) {
        const auto u = static_cast<unsigned char>(c);
        out += (u < 32 || std::strchr(":*?\"<>|", c)) ? '_' : c;
    }
    // Windows drops trailing dots and blanks, which would let "..." or "a. "
    // name something else than it says.
    while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.back() = '_';
    if (IsDeviceName(std::string_view(out))) out.insert(0, 1, '_');
    return out;
}

}  // namespace

// Where an entry's data begins: after its local header, name and extra field.
bool DataStart(Source& source, const Entry& entry, std::uint64_t& start) {
    unsigned char local[kLocalSize];
    if (!source.Read(entry.localOffset, local, sizeof local) || U32(local) != kLocalSignature) return false;
    start = entry.localOffset + kLocalSize + U16(local + 26) + U16(local + 28);
    return start <= source.Size() && entry.compressedSize <= source.Size() - start;
}

bool MemorySource::Read(std::uint64_t offset, void* out, std::size_t n) {
    if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
    std::memcpy(out, bytes_.data() + offset, n);
    return true;
}

Status ReadDirectory(Source& source, Directory& directory) {
    Eocd eocd;
    if (const Status s = FindEocd(source, eocd); s != Status::Ok) return s;
    if (eocd.cdSize > (std::uint64_t{1} << 31)) return Status::Damaged;
    std::string cd(static_cast<std::size_t>(eocd.cdSize), '\0');
    if (!source.Read(eocd.cdOffset, cd.data(), cd.size())) return Status::Damaged;
    directory = Directory{{}, eocd.cdOffset, eocd.cdSize, eocd.zip64, eocd.position};
    const auto* p = reinterpret_cast<const unsigned char*>(cd.data());
    std::size_t at = 0;
    // Never trust the count for memory: each entry needs at least 46 bytes.
    directory.entries.reserve(
        static_cast<std::size_t>(std::min<std::uint64_t>(eocd.entries, cd.size() / kCentralSize)));
    for (std::uint64_t i = 0; i < eocd.entries; ++i) {
        if (cd.size() - at < kCentralSize || U32(p + at) != kCentralSignature) return Status::Damaged;
        const unsigned char* h = p + at;
        const std::size_t nameLength = U16(h + 28), extraLength = U16(h + 30), commentLength = U16(h + 32);
        if (cd.size() - at - kCentralSize < nameLength + extraLength + commentLength) return Status::Damaged;
        Entry e;
        e.flags = U16(h + 8);
        e.method = U16(h + 10);
        e.modTime = U16(h + 12);
        e.modDate = U16(h + 14);
        e.crc = U32(h + 16);
        e.compressedSize = U32(h + 20);
        e.size = U32(h + 24);
        e.localOffset = U32(h + kCentralLocalOffset);
        e.centralOffset = eocd.cdOffset + at;
        e.centralLength = static_cast<std::uint32_t>(kCentralSize + nameLength + extraLength + commentLength);
        e.storedName.assign(reinterpret_cast<const char*>(h + kCentralSize), nameLength);
        e.name = (e.flags & kFlagUtf8) ? e.storedName : Cp437ToUtf8(e.storedName);
        const bool wideSize = e.size == 0xFFFFFFFF, wideComp = e.compressedSize == 0xFFFFFFFF,
                   wideOffset = e.localOffset == 0xFFFFFFFF;
        if (!ApplyZip64Extra(h + kCentralSize + nameLength, extraLength, e, wideSize, wideComp, wideOffset)) {
            return Status::Damaged;
        }
        directory.zip64 = directory.zip64 || wideSize || wideComp || wideOffset;
        directory.entries.push_back(std::move(e));
        at += kCentralSize + nameLength + extraLength + commentLength;
    }
    return Status::Ok;
}

Status CheckOverlaps(Source& source, const Directory& directory) {
    struct Span {
        std::uint64_t begin, end;
    };
    std::vector<Span> spans{{directory.offset, directory.offset + directory.size}};
    for (const Entry& e : directory.entries) {
        std::uint64_t start = 0;
        if (!DataStart(source, e, start)) return Status::Damaged;
        spans.push_back({e.localOffset, start + e.compressedSize});
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
    for (std::size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].begin < spans[i - 1].end) return Status::Overlap;
    }
    return Status::Ok;
}

Status ExtractEntry(Source& source, const Entry& entry, std::string_view password, Sink& sink) {
    if (entry.flags & kFlagStrongEncryption || entry.flags & kFlagMaskedHeaders || entry.method == kAes) {
        return Status::Unsupported;
    }
    if (entry.method != 0 && entry.method != 8) return Status::Unsupported;
    std::uint64_t start = 0;
    if (!DataStart(source, entry, start)) return Status::Damaged;
    std::uint64_t length = entry.compressedSize;
    ZipCrypto cipher(password);
    ZipCrypto* decrypt = nullptr;
    if (entry.Encrypted()) {
        if (password.empty()) return Status::NeedPassword;
        unsigned char header[12];
        if (length < sizeof header || !source.Read(start, header, sizeof header)) return Status::Damaged;
        unsigned char last = 0;
        for (unsigned char b : header) last = cipher.Decrypt(b);
        if (last != CheckByte(entry)) return Status::BadPassword;
        start += sizeof header;
        length -= sizeof header;
        decrypt = &cipher;
    }
    if (entry.method == kStored && length != entry.size) return Status::SizeError;
    DataReader reader(source, start, length, decrypt);
    CheckedOutput out(sink, entry.size);
    const Status s = entry.method == kStored ? CopyStored(reader, out) : Inflate(reader, out);
    return s == Status::Ok ? out.Finish(entry) : s;
}

bool IsPlainPath(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.front() == '\\') return false;
    bool plain = true;
    for (std::size_t at = 0; plain && at <= name.size();) {
        std::size_t end = name.find_first_of("/\\", at);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view part = name.substr(at, end - at);
        // A trailing separator (a folder entry) leaves one empty last part.
        plain = PlainComponent(part) || (part.empty() && end == name.size() && at > 0);
        at = end + 1;
    }
    return plain;
}

std::string SafeRelativePath(std::string_view name) {
    // Most names are plain: their "/" only becomes "\".
    if (IsPlainPath(name)) {
        std::string out(name);
        std::replace(out.begin(), out.end(), '/', '\\');
        if (!out.empty() && out.back() == '\\') out.pop_back();
        return out;
    }
    std::string s(name);
    std::replace(s.begin(), s.end(), '/', '\\');
    // A drive ("C:") or UNC ("\\server\share") prefix names a place outside.
    if (s.size() >= 2 && s[1] == ':') s.erase(0, 2);
    if (s.rfind("\\\\", 0) == 0) {
        std::size_t cut = s.find('\\', 2);
        cut = cut == std::string::npos ? s.size() : s.find('\\', cut + 1);
        s.erase(0, cut == std::string::npos ? s.size() : cut);
    }
    std::string out;
    std::size_t at = 0;
    while (at <= s.size()) {
        std::size_t end = s.find('\\', at);
        if (end == std::string::npos) end = s.size();
        const std::string_view part(s.data() + at, end - at);
        if (!part.empty() && part != "." && part != "..") {
            if (!out.empty()) out += '\\';
            out += SafeComponent(part);
        }
        at = end + 1;
    }
    return out;
}

std::string Cp437ToUtf8(std::string_view bytes) {
    static const char16_t kHigh[] =
        u"ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀"
        u"αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0";
    static_assert(sizeof kHigh / sizeof kHigh[0] == 129);
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const char32_t cp = b < 0x80 ? b : kHigh[b - 0x80];
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

}  // namespace zip
