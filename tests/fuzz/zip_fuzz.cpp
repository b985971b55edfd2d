// libFuzzer target for the portable reader core: every archive, however
// broken, must be read, checked and inflated without a fault.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "archive/zip_reader.h"

namespace {
class CountingSink : public zip::Sink {
public:
    bool Write(const void*, std::size_t n) override {
        written += n;
        return true;
    }
    std::size_t written = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zip::MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    zip::Directory directory;
    if (zip::ReadDirectory(source, directory) != zip::Status::Ok) return 0;
    const bool safe = zip::CheckOverlaps(source, directory) == zip::Status::Ok;
    std::size_t done = 0;
    for (const zip::Entry& entry : directory.entries) {
        zip::SafeRelativePath(entry.name);
        if (!safe || ++done > 64) continue;
        CountingSink sink;
        zip::ExtractEntry(source, entry, "secret", sink);
        if (sink.written > entry.size) __builtin_trap();
    }
    return 0;
}
