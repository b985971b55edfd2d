#include "tests/support/zip_builder.h"

#include <zlib.h>

#include "archive/zip_format.h"

namespace {

using namespace zip::format;

void Put16(std::string& out, unsigned v) { out += static_cast<char>(v & 0xFF), out += static_cast<char>(v >> 8 & 0xFF); }
void Put32(std::string& out, unsigned long v) {
    Put16(out, static_cast<unsigned>(v & 0xFFFF));
    Put16(out, static_cast<unsigned>(v >> 16));
}

constexpr unsigned kDosTime = 0, kDosDate = 0x3021;

}  // namespace

std::string MakeZip(const std::vector<std::string>& names) {
    std::string out, central;
    for (const auto& name : names) {
        const std::string data = !name.empty() && name.back() == '/' ? std::string() : "data of " + name;
        const unsigned long crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
        const unsigned long size = static_cast<unsigned long>(data.size());
        const unsigned long offset = static_cast<unsigned long>(out.size());
        Put32(out, kLocalSignature), Put16(out, kVersion20), Put16(out, 0), Put16(out, kStored);
        Put16(out, kDosTime), Put16(out, kDosDate), Put32(out, crc), Put32(out, size), Put32(out, size);
        Put16(out, static_cast<unsigned>(name.size())), Put16(out, 0);
        out += name + data;
        Put32(central, kCentralSignature), Put16(central, kVersion20), Put16(central, kVersion20), Put16(central, 0);
        Put16(central, kStored), Put16(central, kDosTime), Put16(central, kDosDate), Put32(central, crc);
        Put32(central, size), Put32(central, size), Put16(central, static_cast<unsigned>(name.size()));
        Put16(central, 0), Put16(central, 0), Put16(central, 0), Put16(central, 0), Put32(central, 0), Put32(central, offset);
        central += name;
    }
    const unsigned long centralOffset = static_cast<unsigned long>(out.size());
    out += central;
    Put32(out, kEndSignature), Put16(out, 0), Put16(out, 0);
    Put16(out, static_cast<unsigned>(names.size())), Put16(out, static_cast<unsigned>(names.size()));
    Put32(out, static_cast<unsigned long>(central.size())), Put32(out, centralOffset), Put16(out, 0);
    return out;
}
