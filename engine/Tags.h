#pragma once
// Group-code level access to DXF bytes, ASCII and binary alike.
//
// A record is the run of tags from one group 0 up to the next. Records are
// read into Tag vectors only when they are edited or inspected; the loader
// scans the file once without building tags (see Loader.cpp).
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace dxf {

// How the tags of one file are written.
struct TagFormat {
    bool binary = false;
    bool binaryShortCodes = false;  // R12 binary: one-byte group codes
    std::string eol = "\r\n";       // ASCII line end for new tags
    bool padCodes = true;           // ASCII: codes right-aligned to three columns
};

struct Tag {
    int code = 0;
    // ASCII: the value line without its line end. Binary: the raw value bytes
    // (strings without their terminating NUL, binary chunks without length).
    std::string value;
    // ASCII only: the code line and the value's line end exactly as read, so
    // that an edited record rewrites only what changed. Empty for new tags.
    std::string codeLine;
    std::string valueEol;
};

// Where a tag lies in a record's bytes (used to patch single values).
struct TagSpan {
    int code = 0;
    std::uint32_t valueBegin = 0;
    std::uint32_t valueEnd = 0;
};

enum class ValueKind { String, Double, Int16, Int32, Int64, Bool, Chunk };
ValueKind valueKind(int code);

// Reads every tag of `bytes`. Returns false on malformed input.
bool parseTags(std::string_view bytes, const TagFormat& fmt, std::vector<Tag>& out);
// Calls fn(code, valueBegin, valueEnd) for each tag; false on malformed input.
template <class Fn>
bool forEachTag(std::string_view bytes, const TagFormat& fmt, Fn&& fn);

std::string serializeTags(const std::vector<Tag>& tags, const TagFormat& fmt);
void appendTag(std::string& out, const Tag& tag, const TagFormat& fmt);

// Value helpers working for both formats.
std::string tagText(const Tag& tag, const TagFormat& fmt);  // numbers as text
long tagLong(const Tag& tag, const TagFormat& fmt, long fallback = 0);
double tagDouble(const Tag& tag, const TagFormat& fmt, double fallback = 0);
void setTagLong(Tag& tag, long v, const TagFormat& fmt);
void setTagString(Tag& tag, const std::string& raw);  // raw = already encoded
Tag makeTag(int code, const std::string& value, const TagFormat& fmt);  // value as text
Tag makeLongTag(int code, long v, const TagFormat& fmt);

// Text of a value of given code read from raw bytes (for scans without Tag).
std::string valueText(int code, std::string_view raw, const TagFormat& fmt);

std::uint64_t parseHandle(std::string_view hex);  // 0 when not a handle
std::string formatHandle(std::uint64_t h);
std::string_view trimAscii(std::string_view s);

// ---- implementation of the template ----
namespace detail {
bool nextTag(std::string_view bytes, std::size_t& pos, const TagFormat& fmt, int& code,
             std::size_t& vb, std::size_t& ve);

// The value line that starts at vb: where it ends (before any '\r') and
// where the next tag starts.
inline void valueLine(const char* base, std::size_t n, std::size_t vb, std::size_t& ve, std::size_t& next) {
    const void* nl = vb < n ? std::memchr(base + vb, '\n', n - vb) : nullptr;
    const std::size_t lineEnd = nl ? static_cast<const char*>(nl) - base : n;
    ve = lineEnd > vb && base[lineEnd - 1] == '\r' ? lineEnd - 1 : lineEnd;
    next = nl ? lineEnd + 1 : n;
}

// Most code lines are three wide, right-aligned ("  8", " 10", "330"),
// then the line end: read at once. True with the code and the offset of the
// line's '\n' (after any '\r'); false for anything else.
inline bool threeWideCode(const char* p, std::size_t left, int& code, std::size_t& newline) {
    if (left < 5) return false;
    const unsigned a = static_cast<unsigned char>(p[0]) - '0', b = static_cast<unsigned char>(p[1]) - '0',
                   c = static_cast<unsigned char>(p[2]) - '0';
    if (c >= 10) return false;
    std::size_t at = 3;
    if (p[3] == '\r') ++at;
    if (p[at] != '\n') return false;
    if (a < 10 && b < 10) code = int(a * 100 + b * 10 + c);
    else if (p[0] == ' ' && b < 10) code = int(b * 10 + c);
    else if (p[0] == ' ' && p[1] == ' ') code = int(c);
    else return false;
    newline = at;
    return true;
}
}

// ASCII tags one after another, as forEachTag reads them: the usual code
// lines (three wide) and value lines inline, anything else the general way.
template <class Fn>
bool forEachAsciiTag(std::string_view bytes, Fn&& fn) {
    static const TagFormat ascii;
    const char* const base = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t pos = 0;
    while (pos < n) {
        int code;
        std::size_t vb, ve, newline;
        if (detail::threeWideCode(base + pos, n - pos, code, newline)) {
            vb = pos + newline + 1;
            detail::valueLine(base, n, vb, ve, pos);
        } else if (!detail::nextTag(bytes, pos, ascii, code, vb, ve)) {
            return false;
        }
        fn(code, vb, ve);
    }
    return true;
}

template <class Fn>
bool forEachTag(std::string_view bytes, const TagFormat& fmt, Fn&& fn) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        int code;
        std::size_t vb, ve;
        if (!detail::nextTag(bytes, pos, fmt, code, vb, ve)) return false;
        fn(code, vb, ve);
    }
    return true;
}

}  // namespace dxf
