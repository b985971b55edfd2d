#pragma once
// An entry's bytes in memory, at most limit of them. A reader that needs only
// the first bytes says how many from those read so far (0: it cannot tell
// yet); the sink stops there, and enough says so.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "archive/zip_reader.h"

class StringSink : public zip::Sink {
public:
    using Needed = std::function<std::size_t(std::string_view head)>;

    explicit StringSink(std::size_t limit, Needed needed = {}) : limit_(limit), needed_(std::move(needed)) {}
    bool Write(const void* data, std::size_t n) override {
        if (n > limit_ - bytes.size()) return false;
        bytes.append(static_cast<const char*>(data), n);
        if (needed_ && want_ == 0) want_ = needed_(bytes);
        if (want_ == 0 || bytes.size() < want_) return true;
        enough = true;
        return false;
    }
    std::string bytes;
    bool enough = false;

private:
    std::size_t limit_;
    Needed needed_;
    std::size_t want_ = 0;
};
