#include "engine/Tags.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace dxf {

ValueKind valueKind(int code) {
    if (code >= 10 && code <= 59) return ValueKind::Double;
    if (code >= 60 && code <= 79) return ValueKind::Int16;
    if (code >= 90 && code <= 99) return ValueKind::Int32;
    if (code >= 110 && code <= 149) return ValueKind::Double;
    if (code >= 160 && code <= 169) return ValueKind::Int64;
    if (code >= 170 && code <= 179) return ValueKind::Int16;
    if (code >= 210 && code <= 239) return ValueKind::Double;
    if (code >= 270 && code <= 289) return ValueKind::Int16;
    if (code >= 290 && code <= 299) return ValueKind::Bool;
    if (code >= 310 && code <= 319) return ValueKind::Chunk;
    if (code >= 370 && code <= 389) return ValueKind::Int16;
    if (code >= 400 && code <= 409) return ValueKind::Int16;
    if (code >= 420 && code <= 429) return ValueKind::Int32;
    if (code >= 440 && code <= 459) return ValueKind::Int32;
    if (code >= 460 && code <= 469) return ValueKind::Double;
    if (code == 1004) return ValueKind::Chunk;
    if (code >= 1010 && code <= 1059) return ValueKind::Double;
    if (code >= 1060 && code <= 1070) return ValueKind::Int16;
    if (code == 1071) return ValueKind::Int32;
    return ValueKind::String;
}

std::string_view trimAscii(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

namespace detail {

static bool parseCodeLine(std::string_view line, int& code) {
    line = trimAscii(line);
    if (line.empty()) return false;
    auto r = std::from_chars(line.data(), line.data() + line.size(), code);
    return r.ec == std::errc() && r.ptr == line.data() + line.size();
}

static std::size_t binaryValueSize(int code, std::string_view bytes, std::size_t pos) {
    switch (valueKind(code)) {
    case ValueKind::Double: return 8;
    case ValueKind::Int16: return 2;
    case ValueKind::Int32: return 4;
    case ValueKind::Int64: return 8;
    case ValueKind::Bool: return 1;
    case ValueKind::Chunk:
        if (pos >= bytes.size()) return std::string::npos;
        return 1 + static_cast<unsigned char>(bytes[pos]);
    case ValueKind::String: {
        const void* z = std::memchr(bytes.data() + pos, 0, bytes.size() - pos);
        if (!z) return std::string::npos;
        return static_cast<const char*>(z) - (bytes.data() + pos) + 1;
    }
    }
    return std::string::npos;
}

bool nextTag(std::string_view bytes, std::size_t& pos, const TagFormat& fmt, int& code,
             std::size_t& vb, std::size_t& ve) {
    const std::size_t n = bytes.size();
    if (!fmt.binary) {
        const char* base = bytes.data();
        // Most code lines are a few digits, perhaps padded with spaces, then
        // the line end: read in one pass. Anything else takes the general way.
        std::size_t i = pos;
        int value = 0, digits = 0;
        if (threeWideCode(base + pos, n - pos, value, i)) {
            i += pos;
            digits = 1;
        } else {
            while (i < n && base[i] == ' ') ++i;
            while (i < n && digits < 6 && base[i] >= '0' && base[i] <= '9') value = value * 10 + (base[i++] - '0'), ++digits;
            if (i < n && base[i] == '\r') ++i;
        }
        if (digits > 0 && i < n && base[i] == '\n') {
            code = value;
            vb = i + 1;
        } else {
            const void* nl = std::memchr(base + pos, '\n', n - pos);
            if (!nl) return false;
            const std::size_t codeEnd = static_cast<const char*>(nl) - base;
            if (!parseCodeLine(bytes.substr(pos, codeEnd - pos), code)) return false;
            vb = codeEnd + 1;
        }
        valueLine(base, n, vb, ve, pos);
        return true;
    }
    if (fmt.binaryShortCodes) {
        if (pos >= n) return false;
        code = static_cast<unsigned char>(bytes[pos++]);
        if (code == 255) {
            if (pos + 2 > n) return false;
            code = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[pos]) |
                                             (static_cast<unsigned char>(bytes[pos + 1]) << 8));
            pos += 2;
        }
    } else {
        if (pos + 2 > n) return false;
        code = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[pos]) |
                                         (static_cast<unsigned char>(bytes[pos + 1]) << 8));
        pos += 2;
    }
    std::size_t sz = binaryValueSize(code, bytes, pos);
    if (sz == std::string::npos || pos + sz > n) return false;
    ValueKind k = valueKind(code);
    if (k == ValueKind::String) {
        vb = pos;
        ve = pos + sz - 1;
    } else if (k == ValueKind::Chunk) {
        vb = pos + 1;
        ve = pos + sz;
    } else {
        vb = pos;
        ve = pos + sz;
    }
    pos += sz;
    return true;
}

}  // namespace detail

bool parseTags(std::string_view bytes, const TagFormat& fmt, std::vector<Tag>& out) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t start = pos;
        int code;
        std::size_t vb, ve;
        if (!detail::nextTag(bytes, pos, fmt, code, vb, ve)) return false;
        Tag t;
        t.code = code;
        t.value.assign(bytes.data() + vb, ve - vb);
        if (!fmt.binary) {
            // code line includes its line end; value line end is what follows ve
            t.codeLine.assign(bytes.data() + start, vb - start);
            t.valueEol.assign(bytes.data() + ve, pos - ve);
        }
        out.push_back(std::move(t));
    }
    return true;
}

static std::string codeText(int code, const TagFormat& fmt) {
    char buf[16];
    if (fmt.padCodes)
        std::snprintf(buf, sizeof buf, "%3d", code);
    else
        std::snprintf(buf, sizeof buf, "%d", code);
    return buf;
}

void appendTag(std::string& out, const Tag& t, const TagFormat& fmt) {
    if (!fmt.binary) {
        if (!t.codeLine.empty())
            out += t.codeLine;
        else
            out += codeText(t.code, fmt) + fmt.eol;
        out += t.value;
        out += t.codeLine.empty() ? fmt.eol : t.valueEol;
        return;
    }
    if (fmt.binaryShortCodes) {
        if (t.code >= 0 && t.code < 255) {
            out += static_cast<char>(t.code);
        } else {
            out += static_cast<char>(255);
            out += static_cast<char>(t.code & 0xff);
            out += static_cast<char>((t.code >> 8) & 0xff);
        }
    } else {
        out += static_cast<char>(t.code & 0xff);
        out += static_cast<char>((t.code >> 8) & 0xff);
    }
    ValueKind k = valueKind(t.code);
    if (k == ValueKind::String) {
        out += t.value;
        out += '\0';
    } else if (k == ValueKind::Chunk) {
        out += static_cast<char>(t.value.size() & 0xff);
        out += t.value.substr(0, 255);
    } else {
        out += t.value;
    }
}

std::string serializeTags(const std::vector<Tag>& tags, const TagFormat& fmt) {
    std::string out;
    for (const Tag& t : tags) appendTag(out, t, fmt);
    return out;
}

template <class T>
static T readLE(std::string_view raw) {
    T v{};
    std::memcpy(&v, raw.data(), std::min(sizeof(T), raw.size()));
    return v;
}

std::string valueText(int code, std::string_view raw, const TagFormat& fmt) {
    if (!fmt.binary) return std::string(raw);
    char buf[64];
    switch (valueKind(code)) {
    case ValueKind::String: return std::string(raw);
    case ValueKind::Double: {
        if (raw.size() != 8) return {};
        double d = readLE<double>(raw);
        std::snprintf(buf, sizeof buf, "%.17g", d);
        return buf;
    }
    case ValueKind::Int16: return std::to_string(readLE<std::int16_t>(raw));
    case ValueKind::Int32: return std::to_string(readLE<std::int32_t>(raw));
    case ValueKind::Int64: return std::to_string(readLE<std::int64_t>(raw));
    case ValueKind::Bool: return std::to_string(raw.empty() ? 0 : static_cast<unsigned char>(raw[0]));
    case ValueKind::Chunk: {
        std::string s;
        for (unsigned char c : raw) {
            std::snprintf(buf, sizeof buf, "%02X", c);
            s += buf;
        }
        return s;
    }
    }
    return {};
}

std::string tagText(const Tag& t, const TagFormat& fmt) {
    if (!fmt.binary) return t.value;
    return valueText(t.code, t.value, fmt);
}

long tagLong(const Tag& t, const TagFormat& fmt, long fallback) {
    std::string s = tagText(t, fmt);
    std::string_view v = trimAscii(s);
    if (!v.empty() && v.front() == '+') v.remove_prefix(1);
    long out = 0;
    auto r = std::from_chars(v.data(), v.data() + v.size(), out);
    if (r.ec != std::errc()) {
        // some writers put "1.0" in integer groups
        double d = tagDouble(t, fmt, static_cast<double>(fallback));
        return std::isfinite(d) && std::fabs(d) < 1e15 ? static_cast<long>(d) : fallback;
    }
    return out;
}

double tagDouble(const Tag& t, const TagFormat& fmt, double fallback) {
    std::string s = tagText(t, fmt);
    std::string_view v = trimAscii(s);
    double out = 0;
    auto r = std::from_chars(v.data(), v.data() + v.size(), out);
    if (r.ec != std::errc()) return fallback;
    return out;
}

void setTagLong(Tag& t, long v, const TagFormat& fmt) {
    if (fmt.binary) {
        switch (valueKind(t.code)) {
        case ValueKind::Int16: {
            std::int16_t x = static_cast<std::int16_t>(v);
            t.value.assign(reinterpret_cast<const char*>(&x), 2);
            return;
        }
        case ValueKind::Int32: {
            std::int32_t x = static_cast<std::int32_t>(v);
            t.value.assign(reinterpret_cast<const char*>(&x), 4);
            return;
        }
        case ValueKind::Int64: {
            std::int64_t x = v;
            t.value.assign(reinterpret_cast<const char*>(&x), 8);
            return;
        }
        case ValueKind::Bool: t.value.assign(1, static_cast<char>(v ? 1 : 0)); return;
        case ValueKind::Double: {
            double x = static_cast<double>(v);
            t.value.assign(reinterpret_cast<const char*>(&x), 8);
            return;
        }
        default: t.value = std::to_string(v); return;
        }
    }
    // Keep the right-aligned column width the writer used ("     7").
    std::string s = std::to_string(v);
    std::size_t width = t.value.size();
    if (!t.value.empty() && t.value.front() == ' ' && s.size() < width)
        s = std::string(width - s.size(), ' ') + s;
    t.value = s;
}

void setTagString(Tag& t, const std::string& raw) { t.value = raw; }

Tag makeTag(int code, const std::string& value, const TagFormat& fmt) {
    Tag t;
    t.code = code;
    if (!fmt.binary || valueKind(code) == ValueKind::String) {
        t.value = value;
        return t;
    }
    if (valueKind(code) == ValueKind::Double) {
        double d = 0;
        std::from_chars(value.data(), value.data() + value.size(), d);
        t.value.assign(reinterpret_cast<const char*>(&d), 8);
        return t;
    }
    long v = 0;
    std::from_chars(value.data(), value.data() + value.size(), v);
    setTagLong(t, v, fmt);
    return t;
}

Tag makeLongTag(int code, long v, const TagFormat& fmt) {
    Tag t;
    t.code = code;
    if (fmt.binary) {
        setTagLong(t, v, fmt);
        return t;
    }
    char buf[32];
    // AutoCAD's ASCII style: 16-bit integers in six columns, 32-bit in nine.
    ValueKind k = valueKind(code);
    if (k == ValueKind::Int16 || k == ValueKind::Bool)
        std::snprintf(buf, sizeof buf, "%6ld", v);
    else if (k == ValueKind::Int32)
        std::snprintf(buf, sizeof buf, "%9ld", v);
    else
        std::snprintf(buf, sizeof buf, "%ld", v);
    t.value = buf;
    return t;
}

std::uint64_t parseHandle(std::string_view hex) {
    hex = trimAscii(hex);
    if (hex.empty() || hex.size() > 16) return 0;
    std::uint64_t h = 0;
    auto r = std::from_chars(hex.data(), hex.data() + hex.size(), h, 16);
    if (r.ec != std::errc() || r.ptr != hex.data() + hex.size()) return 0;
    return h;
}

std::string formatHandle(std::uint64_t h) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(h));
    return buf;
}

}  // namespace dxf
