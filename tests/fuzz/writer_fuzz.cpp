// libFuzzer target for the zip writer: for every archive that the reader
// accepts, the writer either refuses it, or writes an archive that the reader
// accepts, in which every other entry's bytes are exactly as they were and
// tarrow.ini reads back as given.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "archive/zip_format.h"
#include "archive/zip_reader.h"
#include "archive/zip_writer.h"

namespace {

using namespace zip::format;

class StringSink : public zip::Sink {
public:
    bool Write(const void* data, std::size_t n) override {
        bytes.append(static_cast<const char*>(data), n);
        return true;
    }
    std::string bytes;
};

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

std::uint32_t U32(std::string_view bytes, std::uint64_t at) {
    if (at + 4 > bytes.size()) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// An entry's local header, data and data descriptor, as the file holds them.
std::string_view RawEntry(zip::Source& source, std::string_view bytes, const zip::Entry& e) {
    std::uint64_t start = 0;
    if (!zip::DataStart(source, e, start)) return {};
    std::uint64_t end = start + e.compressedSize;
    if (e.flags & kFlagDescriptor) end += U32(bytes, end) == kDescriptorSignature ? 16 : 12;
    if (end > bytes.size() || e.localOffset > end) return {};
    return bytes.substr(e.localOffset, end - e.localOffset);
}

// A central record without the offset of its local header.
std::string WithoutOffset(std::string_view bytes, const zip::Entry& e) {
    std::string record(bytes.substr(e.centralOffset, e.centralLength));
    if (record.size() >= kCentralLocalOffset + 4) record.replace(kCentralLocalOffset, 4, 4, '\0');
    return record;
}

constexpr std::string_view kName = "tarrow.ini";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    zip::MemorySource source(input);
    zip::Directory before;
    if (zip::ReadDirectory(source, before) != zip::Status::Ok) return 0;

    const std::string ini = "[Tarrow]\r\nNAME=" + std::string(size % 200, 'x') + "\r\n";
    StringSink out;
    if (zip::ReplaceEntry(source, kName, ini, 0x6000, 0x5A21, out) != zip::WriteStatus::Ok) return 0;

    zip::MemorySource written(out.bytes);
    zip::Directory after;
    Check(zip::ReadDirectory(written, after) == zip::Status::Ok);
    Check(zip::CheckOverlaps(written, after) == zip::Status::Ok);

    // Every other entry, in its order, with the same bytes.
    std::multimap<std::string, const zip::Entry*> kept;
    for (const zip::Entry& e : after.entries) {
        if (e.storedName != kName) kept.emplace(e.storedName, &e);
    }
    std::size_t others = 0;
    for (const zip::Entry& e : before.entries) {
        if (e.storedName == kName) continue;
        ++others;
        const auto range = kept.equal_range(e.storedName);
        auto match = range.second;
        for (auto it = range.first; it != range.second && match == range.second; ++it) {
            if (RawEntry(written, out.bytes, *it->second) == RawEntry(source, input, e) &&
                WithoutOffset(out.bytes, *it->second) == WithoutOffset(input, e)) {
                match = it;
            }
        }
        Check(match != range.second);
        kept.erase(match);
    }
    Check(kept.empty() && others + 1 == after.entries.size());

    // The new information file, once, reading back as given.
    std::size_t infos = 0;
    for (const zip::Entry& e : after.entries) {
        if (e.storedName != kName) continue;
        ++infos;
        StringSink back;
        Check(zip::ExtractEntry(written, e, {}, back) == zip::Status::Ok);
        Check(back.bytes == ini);
    }
    Check(infos == 1);
    return 0;
}
