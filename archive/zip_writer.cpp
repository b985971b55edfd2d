#include "archive/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/zip_format.h"
#include "core/handles.h"

namespace zip {
namespace {

using namespace format;

constexpr std::size_t kChunk = std::size_t{64} * 1024;

void Put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// One kept entry: where its bytes lie in the source, and where they go.
struct Span {
    const Entry* entry;
    std::uint64_t begin, end;
    std::uint64_t newOffset = 0;
};

// The end of an entry's bytes: its data, then its data descriptor (bit 3),
// with or without the descriptor's signature.
bool EntryEnd(Source& source, const Entry& e, std::uint64_t& end) {
    std::uint64_t start = 0;
    if (!DataStart(source, e, start)) return false;
    end = start + e.compressedSize;
    if (!(e.flags & kFlagDescriptor)) return true;
    unsigned char sig[4] = {};
    if (!source.Read(end, sig, sizeof sig)) return false;
    const std::uint32_t value = sig[0] | sig[1] << 8 | sig[2] << 16 | static_cast<std::uint32_t>(sig[3]) << 24;
    end += value == kDescriptorSignature ? 16 : 12;
    return end <= source.Size();
}

bool Copy(Source& source, std::uint64_t begin, std::uint64_t end, Sink& out) {
    std::string buffer;
    while (begin < end) {
        buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, end - begin)));
        if (!source.Read(begin, buffer.data(), buffer.size()) || !out.Write(buffer.data(), buffer.size())) return false;
        begin += buffer.size();
    }
    return true;
}

// The data deflated at the best level; false when zlib fails.
bool Deflate(std::string_view data, std::string& out) {
    ZStream deflater(ZStream::Mode::Deflate, Z_BEST_COMPRESSION);
    if (!deflater.ok()) return false;
    z_stream& z = deflater.get();
    out.assign(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    // The bound holds the whole output, so one call finishes the stream.
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) return false;
    out.resize(z.total_out);
    return true;
}

class NullSink : public Sink {
public:
    bool Write(const void*, std::size_t) override { return true; }
};

// Lays out the kept entries: they must follow one another from the first
// byte to the central directory, which the end record follows at once.
WriteStatus KeptSpans(Source& source, const Directory& directory, std::string_view name, std::vector<Span>& kept,
                      std::uint64_t& removedBytes) {
    std::vector<Span> all;
    for (const Entry& e : directory.entries) {
        if (e.Encrypted() || (e.flags & kFlagStrongEncryption) || e.method == kAes) return WriteStatus::Encrypted;
        std::uint64_t end = 0;
        if (!EntryEnd(source, e, end)) return WriteStatus::Damaged;
        all.push_back({&e, e.localOffset, end});
    }
    std::sort(all.begin(), all.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
    std::uint64_t at = 0;
    for (const Span& span : all) {
        if (span.begin != at) return WriteStatus::Layout;
        at = span.end;
    }
    if (at != directory.offset || directory.offset + directory.size != directory.endOffset) return WriteStatus::Layout;
    removedBytes = 0;
    for (Span span : all) {
        if (span.entry->name == name) {
            removedBytes += span.end - span.begin;
            continue;
        }
        span.newOffset = span.begin - removedBytes;
        kept.push_back(span);
    }
    return WriteStatus::Ok;
}

// The archive's comment, after its end record.
bool ReadComment(Source& source, const Directory& directory, std::string& comment) {
    unsigned char end[kEndSize] = {};
    if (!source.Read(directory.endOffset, end, sizeof end)) return false;
    comment.assign(end[20] | end[21] << 8, '\0');
    return source.Read(directory.endOffset + sizeof end, comment.data(), comment.size());
}

// Whether the comment holds what a reader could take for the end record: it
// looks from the end of the file for a signature whose record and comment end
// there. Such a record was refused in the archive as it is only by where its
// directory would lie, and that changes once the entries before it move.
bool CommentHoldsEndRecord(std::string_view comment) {
    constexpr std::string_view signature("PK\x05\x06", 4);
    for (std::size_t at = comment.find(signature); at != std::string_view::npos; at = comment.find(signature, at + 1)) {
        if (at + kEndSize > comment.size()) break;
        const auto* length = reinterpret_cast<const unsigned char*>(comment.data() + at + 20);
        if (at + kEndSize + (length[0] | length[1] << 8) == comment.size()) return true;
    }
    return false;
}

}  // namespace

WriteStatus ReplaceEntry(Source& source, std::string_view name, std::string_view data, std::uint16_t dosTime,
                         std::uint16_t dosDate, Sink& out) {
    Directory directory;
    switch (ReadDirectory(source, directory)) {
    case Status::Ok: break;
    case Status::NotZip: return WriteStatus::NotZip;
    default: return WriteStatus::Damaged;
    }
    if (directory.zip64) return WriteStatus::Zip64;
    std::vector<Span> kept;
    std::uint64_t removed = 0;
    if (const WriteStatus s = KeptSpans(source, directory, name, kept, removed); s != WriteStatus::Ok) return s;
    if (kept.size() + 1 > 0xFFFF) return WriteStatus::Zip64;
    std::string comment;
    if (!ReadComment(source, directory, comment)) return WriteStatus::Damaged;
    if (CommentHoldsEndRecord(comment)) return WriteStatus::Layout;

    // The kept entries, in their order in the file.
    std::uint64_t written = 0;
    for (const Span& span : kept) {
        if (!Copy(source, span.begin, span.end, out)) return WriteStatus::WriteError;
        written += span.end - span.begin;
    }
    // The new entry after them.
    std::string packed;
    if (!Deflate(data, packed)) return WriteStatus::DeflateError;
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    const std::uint64_t newOffset = written;
    if (newOffset + packed.size() > 0xFFFFFFFFull - 0xFFFF) return WriteStatus::Zip64;
    std::string local;
    Put32(local, kLocalSignature), Put16(local, kVersion20), Put16(local, 0), Put16(local, kDeflated),
        Put16(local, dosTime), Put16(local, dosDate), Put32(local, crc),
        Put32(local, static_cast<std::uint32_t>(packed.size())), Put32(local, static_cast<std::uint32_t>(data.size())),
        Put16(local, static_cast<std::uint32_t>(name.size())), Put16(local, 0);
    local += name;
    local += packed;
    if (!out.Write(local.data(), local.size())) return WriteStatus::WriteError;
    written += local.size();

    // The central directory: the kept records in their order, each with its new offset, then the new one.
    std::vector<const Span*> spanOf(directory.entries.size(), nullptr);
    for (const Span& span : kept) spanOf[static_cast<std::size_t>(span.entry - directory.entries.data())] = &span;
    std::string central;
    for (std::size_t i = 0; i < directory.entries.size(); ++i) {
        if (!spanOf[i]) continue;
        const Entry& e = directory.entries[i];
        std::string record(e.centralLength, '\0');
        if (!source.Read(e.centralOffset, record.data(), record.size())) return WriteStatus::Damaged;
        std::string offset;
        Put32(offset, static_cast<std::uint32_t>(spanOf[i]->newOffset));
        record.replace(kCentralLocalOffset, 4, offset);
        central += record;
    }
    Put32(central, kCentralSignature), Put16(central, kVersion20), Put16(central, kVersion20), Put16(central, 0),
        Put16(central, kDeflated), Put16(central, dosTime), Put16(central, dosDate), Put32(central, crc),
        Put32(central, static_cast<std::uint32_t>(packed.size())),
        Put32(central, static_cast<std::uint32_t>(data.size())),
        Put16(central, static_cast<std::uint32_t>(name.size())), Put16(central, 0), Put16(central, 0),
        Put16(central, 0), Put16(central, 0), Put32(central, 0), Put32(central, static_cast<std::uint32_t>(newOffset));
    central += name;

    // The end record, with the archive's comment.
    const auto count = static_cast<std::uint32_t>(kept.size() + 1);
    const auto centralSize = static_cast<std::uint32_t>(central.size());
    Put32(central, kEndSignature), Put16(central, 0), Put16(central, 0), Put16(central, count), Put16(central, count),
        Put32(central, centralSize), Put32(central, static_cast<std::uint32_t>(written)),
        Put16(central, static_cast<std::uint32_t>(comment.size()));
    central += comment;
    return out.Write(central.data(), central.size()) ? WriteStatus::Ok : WriteStatus::WriteError;
}

Status VerifyArchive(Source& source) {
    Directory directory;
    if (const Status s = ReadDirectory(source, directory); s != Status::Ok) return s;
    if (const Status s = CheckOverlaps(source, directory); s != Status::Ok) return s;
    NullSink sink;
    for (const Entry& e : directory.entries) {
        if (e.IsFolder()) continue;
        if (const Status s = ExtractEntry(source, e, {}, sink); s != Status::Ok) return s;
    }
    return Status::Ok;
}

}  // namespace zip
