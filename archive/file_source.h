#pragma once
// A zip archive on disk as the reader core reads it: one handle, read at
// offsets, shared so that the game and Explorer may keep using the file.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "archive/zip_reader.h"
#include "core/handles.h"

class FileSource : public zip::Source {
public:
    explicit FileSource(const std::wstring& path)
        : FileSource(
              FileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))) {}
    explicit FileSource(FileHandle file) : file_(std::move(file)) {
        LARGE_INTEGER size{};
        if (file_.valid() && GetFileSizeEx(file_.get(), &size)) size_ = static_cast<std::uint64_t>(size.QuadPart);
    }
    bool valid() const { return file_.valid(); }
    std::uint64_t Size() const override { return size_; }
    bool Read(std::uint64_t offset, void* out, std::size_t n) override {
        if (offset > size_ || n > size_ - offset) return false;
        auto* at = static_cast<char*>(out);
        while (n > 0) {
            OVERLAPPED where{};
            where.Offset = static_cast<DWORD>(offset);
            where.OffsetHigh = static_cast<DWORD>(offset >> 32);
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 20));
            DWORD got = 0;
            if (!ReadFile(file_.get(), at, want, &got, &where) || got == 0) return false;
            at += got;
            offset += got;
            n -= got;
        }
        return true;
    }

private:
    FileHandle file_;
    std::uint64_t size_ = 0;
};
