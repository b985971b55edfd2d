#include "core/journal.h"

#include <zlib.h>

#include <cstdio>

#include "core/device_names.h"

namespace journal {

namespace {

constexpr std::string_view kHeader = "tarrow-journal 2";
constexpr std::string_view kHeaderWord = "tarrow-journal ";

const char* KindWord(Kind kind) {
    switch (kind) {
    case Kind::Write: return "write";
    case Kind::Check: return "check";
    case Kind::Recycle: return "recycle";
    default: return "rename";
    }
}

bool ValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        unsigned long point = length == 1 ? c : c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            point = (point << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and points past Unicode.
        static constexpr unsigned long kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kLeast[length] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return false;
        i += length;
    }
    return true;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// A count as the journal writes it: decimal, without leading zeros.
bool ParseCount(std::string_view text, std::size_t& n) {
    if (!AllDigits(text) || text.size() > 9 || (text.size() > 1 && text[0] == '0')) return false;
    n = 0;
    for (char c : text) n = n * 10 + static_cast<std::size_t>(c - '0');
    return true;
}

std::string Crc(std::string_view text) {
    const unsigned long crc = crc32(0L, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08lx", crc & 0xFFFFFFFFul);
    return hex;
}

std::string Line(std::string_view text) { return Crc(text) + " " + std::string(text) + "\n"; }

bool ParseStep(std::string_view line, Step& step) {
    for (const Kind kind : {Kind::Rename, Kind::Write, Kind::Check, Kind::Recycle}) {
        const std::string word = std::string(KindWord(kind)) + " ";
        if (line.substr(0, word.size()) != word) continue;
        const std::size_t tab = line.find('\t', word.size());
        if (tab == std::string_view::npos) return false;
        step = {kind, std::string(line.substr(word.size(), tab - word.size())), std::string(line.substr(tab + 1))};
        return true;
    }
    return false;
}

std::string Quoted(std::string_view name) {
    std::string shown;
    for (char c : name.substr(0, 80)) shown += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
    return "\"" + shown + (name.size() > 80 ? "..." : "") + "\"";
}

std::string LineProblem(std::size_t number, const std::string& what) {
    return "line " + std::to_string(number) + " " + what;
}

// The complete lines of the journal; a last line without its end does not count.
std::vector<std::string_view> CompleteLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = bytes.find('\n', at)) != std::string_view::npos; at = end + 1) {
        lines.push_back(bytes.substr(at, end - at));
    }
    return lines;
}

// Reads the lines after the header and the count (or from the first line of
// an old journal) into the record, checking their order.
class Reader {
public:
    Reader(Parsed& parsed, bool counted, std::size_t count) : parsed_(parsed), counted_(counted), count_(count) {}

    bool Take(std::string_view line, std::size_t number) {
        Record& record = parsed_.record;
        Step step;
        if (line == "begin" && !record.begun) {
            if (counted_ && record.steps.size() != count_)
                return Fail(number, "begins a plan whose steps are not all there");
            record.begun = true;
            return true;
        }
        if (record.begun) {
            if (line == "done " + std::to_string(record.done) && record.done < record.steps.size()) {
                ++record.done;
                return true;
            }
            return Fail(number, "is not the next step's mark");
        }
        if (!ParseStep(line, step)) return Fail(number, "is not a step");
        if (counted_ && record.steps.size() == count_) return Fail(number, "is a step beyond the plan's count");
        if (record.steps.size() == kMaxSteps) return Fail(number, "is one step too many");
        const std::string problem = StepProblem(step);
        if (!problem.empty()) return Fail(number, problem);
        record.steps.push_back(std::move(step));
        return true;
    }

private:
    bool Fail(std::size_t number, const std::string& what) {
        parsed_.problem = LineProblem(number, what);
        return false;
    }
    Parsed& parsed_;
    bool counted_;
    std::size_t count_;
};

bool TakeWhat(std::string_view line, std::size_t number, Parsed& parsed) {
    if (line.substr(0, 5) != "what ") {
        parsed.problem = LineProblem(number, "does not say what the change was");
        return false;
    }
    const std::string_view what = line.substr(5);
    bool plain = ValidUtf8(what) && !what.empty() && what.size() <= kMaxWhat;
    for (char c : what) plain = plain && static_cast<unsigned char>(c) >= 0x20;
    if (!plain) {
        parsed.problem = LineProblem(number, "does not say what the change was in plain words");
        return false;
    }
    parsed.record.what = std::string(what);
    return true;
}

Parsed Refused(std::string problem) {
    Parsed parsed;
    parsed.problem = std::move(problem);
    return parsed;
}

Parsed ParseChecked(const std::vector<std::string_view>& lines) {
    std::vector<std::string_view> texts;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.size() < 9 || line[8] != ' ' || Crc(line.substr(9)) != line.substr(0, 8)) {
            return Refused(LineProblem(i + 1, "is damaged: its check does not match"));
        }
        texts.push_back(line.substr(9));
    }
    if (texts.empty()) return Refused("it has no complete line");
    if (texts[0] != kHeader) return Refused("it was written by a newer Tarrow");
    Parsed parsed;
    // Stopped while the plan was written: nothing had begun.
    if (texts.size() < 3) {
        if (texts.size() == 2 && !TakeWhat(texts[1], 2, parsed)) return parsed;
        parsed.ok = true;
        return parsed;
    }
    std::size_t count = 0;
    if (!TakeWhat(texts[1], 2, parsed)) return parsed;
    std::size_t at = 2;
    if (texts[at].substr(0, 6) == "group ") {
        if (!IsGroupId(texts[at].substr(6))) return Refused(LineProblem(at + 1, "does not name a group of Tarrow's"));
        parsed.record.group = std::string(texts[at].substr(6));
        // Stopped while the plan was written: nothing had begun.
        if (++at == texts.size()) {
            parsed.ok = true;
            return parsed;
        }
    }
    if (texts[at].substr(0, 6) != "steps " || !ParseCount(texts[at].substr(6), count) || count > kMaxSteps) {
        return Refused(LineProblem(at + 1, "does not give the number of steps"));
    }
    Reader reader(parsed, true, count);
    for (std::size_t i = at + 1; i < texts.size(); ++i) {
        if (!reader.Take(texts[i], i + 1)) return parsed;
    }
    parsed.ok = true;
    return parsed;
}

Parsed ParseOld(const std::vector<std::string_view>& lines) {
    Parsed parsed;
    if (!TakeWhat(lines[0], 1, parsed)) return parsed;
    Reader reader(parsed, false, 0);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (!reader.Take(lines[i], i + 1)) return parsed;
    }
    parsed.ok = true;
    return parsed;
}

}  // namespace

bool IsPlainName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name == "." || name == ".." || !ValidUtf8(name)) return false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) return false;
    }
    if (name.back() == '.' || name.back() == ' ') return false;
    if (IsDeviceName(name)) return false;
    return !EqualNoCase(name, kJournalName) && !EqualNoCase(name.substr(0, 15), "~tarrow-journal");
}

bool IsTemporaryName(std::string_view name) {
    constexpr std::string_view prefix = "~tarrow-", suffix = ".tmp";
    if (name.size() <= prefix.size() + suffix.size() || name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - suffix.size()) != suffix) {
        return false;
    }
    const std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const std::size_t dash = middle.find('-');
    return dash != std::string_view::npos && AllDigits(middle.substr(0, dash)) && AllDigits(middle.substr(dash + 1)) &&
           middle.size() <= 24;
}

std::string StepProblem(const Step& step) {
    switch (step.kind) {
    case Kind::Rename:
        if (!IsPlainName(step.from)) return "names " + Quoted(step.from) + ", which is not a file of the folder";
        if (!IsPlainName(step.to)) return "names " + Quoted(step.to) + ", which is not a file of the folder";
        return {};
    case Kind::Recycle:
        if (!IsPlainName(step.from) || !step.to.empty()) {
            return "names " + Quoted(step.from) + ", which is not a file of the folder";
        }
        return {};
    default:
        if (!step.from.empty() || !IsTemporaryName(step.to)) {
            return "writes " + Quoted(step.to) + ", which is not one of Tarrow's temporary files";
        }
        return {};
    }
}

bool IsGroupId(std::string_view id) {
    const std::size_t dash = id.find('-');
    return id.size() <= 24 && dash != std::string_view::npos && AllDigits(id.substr(0, dash)) &&
           AllDigits(id.substr(dash + 1));
}

std::string EncodePlan(const std::string& what, const std::vector<Step>& steps, const std::string& group) {
    std::string text = Line(kHeader) + Line("what " + what);
    if (!group.empty()) text += Line("group " + group);
    text += Line("steps " + std::to_string(steps.size()));
    for (const Step& step : steps) text += Line(std::string(KindWord(step.kind)) + " " + step.from + "\t" + step.to);
    return text + Line("begin");
}

std::string EncodeDone(std::size_t k) { return Line("done " + std::to_string(k)); }

Parsed Parse(std::string_view bytes) {
    if (bytes.size() > kMaxBytes) return Refused("it is larger than any journal of Tarrow's");
    const std::vector<std::string_view> lines = CompleteLines(bytes);
    // Made, but stopped before its first line reached the disk: nothing had begun.
    if (lines.empty() && bytes.find_first_not_of(std::string_view("\0", 1)) == std::string_view::npos) {
        Parsed parsed;
        parsed.ok = true;
        return parsed;
    }
    if (lines.empty()) return Refused("it is not a journal of Tarrow's");
    const std::string_view first = lines[0];
    if (first.size() > 9 && first.substr(9, kHeaderWord.size()) == kHeaderWord) return ParseChecked(lines);
    if (first.substr(0, 5) == "what ") return ParseOld(lines);
    return Refused("it is not a journal of Tarrow's");
}

}  // namespace journal
