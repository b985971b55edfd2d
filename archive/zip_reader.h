#pragma once
// The portable reader core of unzip32.dll: zip container, inflate, ZipCrypto,
// CRC and size checks, and safe names. Standard C++ and zlib only, so that it
// also builds natively for the fuzzer.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/zip_format.h"

namespace zip {

enum class Status {
    Ok,
    NotZip,        // no end-of-central-directory record
    Damaged,       // a record does not fit the file, or the data is broken
    Overlap,       // entries overlap each other or the central directory: a bomb
    Unsupported,   // a method, strong encryption or AES that we do not read
    NeedPassword,  // the entry is encrypted and no password was given
    BadPassword,   // the password fails the header check
    CrcError,      // the data does not match its CRC
    SizeError,     // the data is longer or shorter than declared
    WriteError,    // the sink refused the data
};

struct Entry {
    std::string storedName;  // the name's bytes as stored
    std::string name;        // the name in UTF-8 (code page 437 unless flag bit 11)
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t modTime = 0;
    std::uint16_t modDate = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localOffset = 0;
    std::uint64_t centralOffset = 0;  // of its central record
    std::uint32_t centralLength = 0;  // of its central record, name, extra and comment included

    bool Encrypted() const { return flags & format::kFlagEncrypted; }
    bool IsFolder() const { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }
};

// Random access to the archive's bytes.
class Source {
public:
    virtual ~Source() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads exactly n bytes at offset; false when they are not all there.
    virtual bool Read(std::uint64_t offset, void* out, std::size_t n) = 0;
};

class MemorySource : public Source {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool Read(std::uint64_t offset, void* out, std::size_t n) override;

private:
    std::string_view bytes_;
};

// Receives an entry's data as it is inflated.
class Sink {
public:
    virtual ~Sink() = default;
    virtual bool Write(const void* data, std::size_t n) = 0;
};

struct Directory {
    std::vector<Entry> entries;
    std::uint64_t offset = 0;  // of the central directory
    std::uint64_t size = 0;
    bool zip64 = false;           // the directory or an entry needs zip64 records
    std::uint64_t endOffset = 0;  // of the end-of-central-directory record
};

// Reads the central directory: the EOCD (behind a comment, zip64 too) and every entry.
Status ReadDirectory(Source& source, Directory& directory);
// Refuses an archive whose entries overlap each other or the central directory.
Status CheckOverlaps(Source& source, const Directory& directory);
// Where an entry's data begins: after its local header, name and extra field.
bool DataStart(Source& source, const Entry& entry, std::uint64_t& start);
// Inflates one entry into the sink, decrypting with the password's bytes when
// the entry is encrypted. Never writes more than the declared size.
Status ExtractEntry(Source& source, const Entry& entry, std::string_view password, Sink& sink);

// The relative path at which an entry may be written: "\" separators, no
// drive, UNC prefix, "." or ".." components, no characters Windows refuses,
// no device names. Empty when nothing remains.
std::string SafeRelativePath(std::string_view utf8Name);
// A name that SafeRelativePath only changes by its separators: "/" becomes
// "\" and a trailing one goes.
bool IsPlainPath(std::string_view utf8Name);
std::string Cp437ToUtf8(std::string_view bytes);

}  // namespace zip
