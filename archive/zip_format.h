#pragma once
// The numbers of the zip format, written once for the reader, the writer and
// everything that makes archives for them.
#include <cstddef>
#include <cstdint>

namespace zip::format {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kDescriptorSignature = 0x08074b50;

// Fixed sizes of the records, before their names, extra fields and comments.
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kEndSize = 22;
// Where a central record keeps the offset of its local header.
constexpr std::size_t kCentralLocalOffset = 42;

// General purpose flag bits.
constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kFlagMaskedHeaders = 0x2000;

// Compression methods.
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kAes = 99;

// The extra block that carries zip64 sizes and offsets.
constexpr std::uint16_t kZip64Extra = 0x0001;

// Versions: made by and needed to extract, 2.0 (deflate, folders).
constexpr std::uint16_t kVersion20 = 20;

}  // namespace zip::format
