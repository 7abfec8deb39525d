#include "engine/Encoding.h"

#include "engine/EngineError.h"

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace dxf {

namespace {

bool isAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

bool isValidUtf8(std::string_view raw) {
    for (std::size_t i = 0; i < raw.size();) {
        const unsigned char c = static_cast<unsigned char>(raw[i]);
        const std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > raw.size()) return false;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(raw[i + k]) & 0xC0) != 0x80) return false;
        i += len;
    }
    return true;
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}


int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Runs iconv over the whole input; false when any byte is not convertible.
bool convert(void* cd, std::string_view in, std::string& out) {
    if (!cd) return false;
    iconv(static_cast<iconv_t>(cd), nullptr, nullptr, nullptr, nullptr);
    std::vector<char> buf(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = buf.data();
    size_t dstLeft = buf.size();
    if (iconv(static_cast<iconv_t>(cd), &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) return false;
    out.append(buf.data(), dst - buf.data());
    return true;
}

// Replaces \U+XXXX escapes by the characters they stand for.
std::string expandUnicodeEscapes(std::string_view s) {
    if (s.find("\\U+") == std::string_view::npos && s.find("\\u+") == std::string_view::npos)
        return std::string(s);
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 6 < s.size() + 0 && (s[i + 1] == 'U' || s[i + 1] == 'u') && s[i + 2] == '+') {
            unsigned cp = 0;
            bool ok = i + 7 <= s.size();
            for (int k = 0; ok && k < 4; ++k) {
                int d = hexDigit(s[i + 3 + k]);
                if (d < 0) ok = false;
                else cp = cp * 16 + static_cast<unsigned>(d);
            }
            if (ok && !(cp >= 0xD800 && cp <= 0xDFFF)) {
                appendUtf8(out, cp);
                i += 6;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

}  // namespace

void appendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string iconvNameForCodepage(const std::string& codepage) {
    std::string cp = upper(std::string(codepage));
    auto digitsAfter = [&](const char* prefix) -> std::string {
        std::size_t n = std::strlen(prefix);
        if (cp.compare(0, n, prefix) != 0) return {};
        std::string d = cp.substr(n);
        if (d.empty() || !std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; })) return {};
        return d;
    };
    if (std::string d = digitsAfter("ANSI_"); !d.empty()) return "CP" + d;
    if (std::string d = digitsAfter("DOS"); !d.empty()) return "CP" + d;
    if (cp == "BIG5") return "CP950";
    if (cp == "GB2312") return "CP936";
    if (cp == "KSC5601" || cp == "JOHAB") return "CP949";
    if (cp == "UTF8" || cp == "UTF-8") return "UTF-8";
    return "CP932";
}

Codec::Codec(const std::string& acadver, const std::string& codepage) {
    // AC1021 and later store UTF-8 regardless of $DWGCODEPAGE.
    utf8_ = acadver.size() == 6 && acadver.compare(0, 2, "AC") == 0 && acadver >= "AC1021";
    legacyName_ = iconvNameForCodepage(codepage);
    iconvName_ = utf8_ ? "UTF-8" : legacyName_;
    if (iconvName_ == "UTF-8") utf8_ = true;
}

// Converters are opened on the first string that is not plain ASCII: most
// names are, and opening one loads a code page module.
void Codec::open(Converters& c) const {
    if (c.opened) return;
    c.opened = true;
    const iconv_t bad = reinterpret_cast<iconv_t>(-1);
    // A UTF-8 drawing keeps the converters of its code page too: a legacy
    // writer may have put code-page bytes in it.
    if (legacyName_ != "UTF-8") {
        iconv_t a = iconv_open("UTF-8", legacyName_.c_str());
        iconv_t b = iconv_open(legacyName_.c_str(), "UTF-8");
        if (a == bad || b == bad) {
            if (a != bad) iconv_close(a);
            if (b != bad) iconv_close(b);
            legacyName_ = "CP1252";  // a code page iconv does not know (only the first set gets here)
            if (!utf8_) iconvName_ = legacyName_;
            a = iconv_open("UTF-8", "CP1252");
            b = iconv_open("CP1252", "UTF-8");
        }
        c.toUtf8 = a == bad ? nullptr : a;
        c.fromUtf8 = b == bad ? nullptr : b;
    }
    iconv_t d = iconv_open("UTF-8", "CP1252");
    c.cp1252 = d == bad ? nullptr : d;
    if (&c == &first_) firstOpened_.store(true, std::memory_order_release);
}

Codec::~Codec() {
    for (Converters* c : {&first_, &second_})
        for (void* cd : {c->toUtf8, c->fromUtf8, c->cp1252})
            if (cd) iconv_close(static_cast<iconv_t>(cd));
}

std::string Codec::decode(std::string_view raw) const {
    if (isAscii(raw)) return expandUnicodeEscapes(raw);
    if (utf8_ && isValidUtf8(raw)) return expandUnicodeEscapes(raw);
    {
        std::unique_lock<std::mutex> held(first_.lock, std::try_to_lock);
        if (held.owns_lock()) return decodeWith(first_, raw);
    }
    if (firstOpened_.load(std::memory_order_acquire)) {
        std::unique_lock<std::mutex> held(second_.lock, std::try_to_lock);
        if (held.owns_lock()) return decodeWith(second_, raw);
    }
    const std::lock_guard<std::mutex> held(first_.lock);
    return decodeWith(first_, raw);
}

std::string Codec::decodeWith(Converters& c, std::string_view raw) const {
    open(c);
    std::string out;
    if (utf8_) {
        // Not UTF-8: bytes of a legacy writer, in the drawing's code page
        // (CP932 for the Japanese drawings this host serves); CP1252 last.
        out.clear();
        if (convert(c.toUtf8, raw, out)) return expandUnicodeEscapes(out);
        out.clear();
        if (convert(c.cp1252, raw, out)) return expandUnicodeEscapes(out);
        return std::string(raw);
    }
    if (convert(c.toUtf8, raw, out)) return expandUnicodeEscapes(out);
    out.clear();
    if (convert(c.cp1252, raw, out)) return expandUnicodeEscapes(out);
    return std::string(raw);
}

std::string Codec::encodeLike(std::string_view utf8, std::string_view original) const {
    if (!utf8_ || isAscii(utf8) || isValidUtf8(original)) return encode(utf8);
    return encodeLegacy(utf8);
}

std::string Codec::encode(std::string_view utf8) const {
    if (utf8_ || isAscii(utf8)) return std::string(utf8);
    return encodeLegacy(utf8);
}

std::string Codec::encodeLegacy(std::string_view utf8) const {
    const std::lock_guard<std::mutex> lock(first_.lock);
    open(first_);
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = utf8[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        int len = (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        if (i + len > utf8.size()) len = static_cast<int>(utf8.size() - i);
        std::string_view ch = utf8.substr(i, len);
        i += len;
        std::string conv;
        if (convert(first_.fromUtf8, ch, conv)) {
            out += conv;
            continue;
        }
        unsigned cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(ch[k]) & 0x3F);
        char buf[16];
        std::snprintf(buf, sizeof buf, "\\U+%04X", cp > 0xFFFF ? 0xFFFDu : cp);
        out += buf;
    }
    return out;
}

std::string foldCase(std::string_view s) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned char c = out[i];
        if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 32);
        } else if (c == 0xEF && i + 2 < out.size()) {
            // full-width a-z (U+FF41..U+FF5A) -> A-Z (U+FF21..U+FF3A)
            unsigned char c1 = out[i + 1], c2 = out[i + 2];
            if (c1 == 0xBD && c2 >= 0x81 && c2 <= 0x9A) {
                out[i + 1] = static_cast<char>(0xBC);
                out[i + 2] = static_cast<char>(c2 + 0x20);
            }
            i += 2;
        }
    }
    return out;
}

std::string printableText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    auto escape = [&](unsigned char c) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02X", c);
        out += buf;
    };
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) {
            escape(c);
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const int len = (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool valid = len > 0 && i + static_cast<std::size_t>(len) <= s.size();
        for (int k = 1; valid && k < len; ++k)
            valid = (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0xC0) == 0x80;
        // C1 controls (U+0080..U+009F) act as escapes on some terminals.
        if (valid && len == 2 && c == 0xC2 && static_cast<unsigned char>(s[i + 1]) < 0xA0) valid = false;
        if (!valid) {
            escape(c);
            ++i;
            continue;
        }
        out.append(s.substr(i, static_cast<std::size_t>(len)));
        i += static_cast<std::size_t>(len);
    }
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    return foldCase(a) == foldCase(b);
}

}  // namespace dxf
