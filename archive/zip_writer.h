#pragma once
// The writer beside the reader: a copy of an archive with one entry at its
// root put in anew. Every other entry is copied byte for byte (local header,
// data, data descriptor), its central record unchanged but for its offset;
// the archive's comment stays. Standard C++ and zlib only.
#include <cstdint>
#include <string_view>

#include "archive/zip_reader.h"

namespace zip {

enum class WriteStatus {
    Ok,
    NotZip,
    Damaged,
    Encrypted,     // an entry is encrypted: its bytes are not ours to vouch for
    Zip64,         // the game cannot read such an archive, and the writer keeps no zip64 records
    Layout,        // data before, between or after the entries that a copy would not keep, or a
                   // comment that a reader could take for the end record
    WriteError,    // the sink refused the bytes
    DeflateError,  // zlib could not compress the new entry
};

// Writes to out the archive of source with the entry stored exactly as name
// at its root replaced, or added when there is none, by data, deflated, with
// the given DOS time and date.
WriteStatus ReplaceEntry(Source& source, std::string_view name, std::string_view data, std::uint16_t dosTime,
                         std::uint16_t dosDate, Sink& out);

// Reads an archive back in full: its directory lists and every entry inflates
// to its CRC and size.
Status VerifyArchive(Source& source);

}  // namespace zip
