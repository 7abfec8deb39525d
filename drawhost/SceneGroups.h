#pragma once
// The groups of one object, read once into a reusable buffer and looked up
// by code; shared by the parts of the scene builder.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Drawing.h"
#include "engine/Tags.h"

namespace drawhost {

class Groups : public dxf::GroupVisitor {
public:
    void read(const dxf::Entity& e) {
        clear();
        // Most objects' tags are read straight from the drawing's bytes.
        if (const std::string_view tags = e.asciiTags(); !tags.empty()) {
            const bool read = dxf::forEachAsciiTag(tags, [&](int code, std::size_t vb, std::size_t ve) {
                note(code);
                add(Entry{code, std::uint32_t(ve - vb), 0, tags.data() + vb});
            });
            if (read) return;
            clear();
        }
        e.readGroups(*this);
    }
    void group(int code, std::string_view value) override {
        note(code);
        add(Entry{code, std::uint32_t(value.size()), text_.size(), nullptr});
        text_.append(value);
    }
    // The drawing does not change while its scene is built: its own bytes
    // need no copy.
    void lastingGroup(int code, std::string_view value) override {
        note(code);
        add(Entry{code, std::uint32_t(value.size()), 0, value.data()});
    }

    std::size_t size() const { return count_; }
    int code(std::size_t i) const { return entries_[i].code; }
    std::string_view value(std::size_t i) const {
        const Entry& e = entries_[i];
        return e.lasting ? std::string_view(e.lasting, e.length) : std::string_view(text_).substr(e.offset, e.length);
    }
    double number(std::size_t i, double fallback = 0) const { return toNumber(value(i), fallback); }

    // The first group of a code, from index `from`; size() when there is none.
    std::size_t find(int code, std::size_t from = 0) const {
        if (from == 0 && code >= 0 && code < kIndexed) return seen_[code] == generation_ ? firstAt_[code] : count_;
        for (std::size_t i = from; i < count_; ++i)
            if (entries_[i].code == code) return i;
        return count_;
    }
    bool has(int code) const { return find(code) < size(); }
    double num(int code, double fallback = 0) const {
        const std::size_t i = find(code);
        return i < size() ? number(i, fallback) : fallback;
    }
    int integer(int code, int fallback = 0) const { return int(num(code, fallback)); }
    std::string_view str(int code) const {
        const std::size_t i = find(code);
        return i < size() ? value(i) : std::string_view();
    }

    static double toNumber(std::string_view v, double fallback = 0) {
        while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
        if (!v.empty() && v.front() == '+') v.remove_prefix(1);
        double fast;
        if (plainDecimal(v, fast)) return fast;
        double out = fallback;
        const auto r = std::from_chars(v.data(), v.data() + v.size(), out);
        return r.ec == std::errc() ? out : fallback;
    }

private:
    // Most numbers in a drawing are plain decimals ("-12.5", "3"): when their
    // digits make an integer below 2^53 and there are at most 19 of them,
    // both that integer and the power of ten are exact doubles, so one
    // division gives the correctly rounded value, as from_chars would.
    static bool plainDecimal(std::string_view v, double& out) {
        const char* p = v.data();
        const char* const end = p + v.size();
        const bool negative = p < end && *p == '-';
        if (negative) ++p;
        // The digits before and after the point as one integer (more than
        // 19 wrap it, and are then turned down by their count).
        std::uint64_t digits = 0;
        const char* const whole = p;
        while (p < end && unsigned(*p - '0') < 10) digits = digits * 10 + unsigned(*p++ - '0');
        int count = int(p - whole), fraction = -1;
        if (p < end && *p == '.') {
            const char* const part = ++p;
            while (p < end && unsigned(*p - '0') < 10) digits = digits * 10 + unsigned(*p++ - '0');
            fraction = int(p - part);
            count += fraction;
        }
        if (p != end || count > 19) return false;
        if (count == 0 || digits > (std::uint64_t(1) << 53)) return false;
        static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                             1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
        const double value = double(digits) / kPowers[fraction < 0 ? 0 : fraction];
        out = negative ? -value : value;
        return true;
    }

    void clear() {
        count_ = 0;
        text_.clear();
        if (++generation_ == 0) {
            seen_.fill(0);
            generation_ = 1;
        }
    }
    void note(int code) {
        if (code >= 0 && code < kIndexed && seen_[code] != generation_) {
            seen_[code] = generation_;
            firstAt_[code] = std::uint32_t(count_);
        }
    }

    struct Entry {
        int code;
        std::uint32_t length;
        std::size_t offset;   // in text_, when copied there
        const char* lasting;  // else the drawing's own bytes
    };
    // The groups read: the first count_ of entries_, which keeps its room
    // from one object to the next.
    void add(const Entry& e) {
        if (count_ == entries_.size()) entries_.resize(std::max<std::size_t>(64, 2 * count_));
        entries_[count_++] = e;
    }
    std::vector<Entry> entries_;
    std::size_t count_ = 0;
    std::string text_;
    // Where each code first occurs in the object read last: seen_[code] is
    // the read's generation when it occurs at all.
    static constexpr int kIndexed = 1072;
    std::array<std::uint32_t, kIndexed> seen_{}, firstAt_{};
    std::uint32_t generation_ = 0;
};

}  // namespace drawhost
