#pragma once
// Text encoding of a drawing's strings. Before R2007 (AC1021) strings are in
// the code page named by $DWGCODEPAGE, with \U+XXXX escapes for characters the
// code page lacks (and, from old Asian writers, \M+nXXXX); from R2007 they are
// UTF-8 whatever the header says, except where a legacy writer left bytes of
// the code page, which are read (and written back) in the code page.
#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

namespace dxf {

// Safe to use from several threads at once.
class Codec {
public:
    // acadver like "AC1015"; codepage as written in the header ("" if none).
    Codec(const std::string& acadver, const std::string& codepage);
    ~Codec();
    Codec(const Codec&) = delete;
    Codec& operator=(const Codec&) = delete;

    // Drawing bytes -> UTF-8. Never fails: undecodable bytes are taken as CP1252.
    std::string decode(std::string_view raw) const;
    // UTF-8 -> drawing bytes; characters the code page lacks become \U+XXXX.
    std::string encode(std::string_view utf8) const;
    // The same for a text that replaces `original` (its bytes in the file):
    // in the encoding the original came in, so a name of code-page bytes in a
    // UTF-8 drawing stays in the code page.
    std::string encodeLike(std::string_view utf8, std::string_view original) const;

    bool utf8() const { return utf8_; }
    const std::string& iconvName() const { return iconvName_; }

private:
    // A set of converters; they keep state, so one thread at a time uses a set.
    struct Converters {
        std::mutex lock;
        bool opened = false;
        void* toUtf8 = nullptr;    // iconv_t
        void* fromUtf8 = nullptr;  // iconv_t
        void* cp1252 = nullptr;    // iconv_t, fallback decoder
    };
    void open(Converters& c) const;  // with c.lock held
    std::string decodeWith(Converters& c, std::string_view raw) const;
    std::string encodeLegacy(std::string_view utf8) const;
    bool utf8_ = false;
    mutable std::string legacyName_;  // iconv name of $DWGCODEPAGE, settled when first_ opens
    mutable std::string iconvName_;
    mutable Converters first_;
    // A second set for decoding while another thread holds the first (two
    // threads building a view decode every text); used once the first is open.
    mutable Converters second_;
    mutable std::atomic<bool> firstOpened_{false};
};

// The iconv name of a $DWGCODEPAGE value ("ANSI_932" -> "CP932"), any case.
// Missing or unknown names give CP932: the users of this host are Japanese, and
// Japanese R12 writers often omit the header variable.
std::string iconvNameForCodepage(const std::string& codepage);

// Letter case folding used for names (ASCII letters and full-width Latin).
std::string foldCase(std::string_view utf8);
bool equalsNoCase(std::string_view a, std::string_view b);

// Appends one code point as UTF-8.
void appendUtf8(std::string& out, unsigned cp);

}  // namespace dxf
