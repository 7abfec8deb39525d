// Multileaders: MULTILEADER's context data (its leaders with their lines,
// landings and doglegs, and its text) and the properties the view uses
// (line type, dogleg, arrowhead size), as the groups its DXF has.
#include "engine/dwg/Groups.h"

namespace dxf::dwg {

namespace {

// A colour (CMC): the index, and from R2004 on the colour word and names.
void skipColor(const Document& d, EntityStreams& s) {
    BitReader& b = s.data;
    b.BS();
    if (d.release() < Release::R2004) return;
    b.BL();
    const std::uint8_t flags = b.RC();
    if (flags & 1) d.text(b, s.strings);
    if (flags & 2) d.text(b, s.strings);
}

// One leader of the context data, written as its DXF "LEADER{" block.
void leaderRoot(const Document& d, EntityStreams& s, GroupWriter& w) {
    BitReader& b = s.data;
    w.str(302, "LEADER{");
    w.integer(290, b.B());
    w.integer(291, b.B());
    w.point(10, b.BD3());  // the landing
    w.point(11, b.BD3());  // the dogleg's direction
    for (std::uint32_t n = boundedCount(b.BL(), b, 12), i = 0; i < n; ++i) {
        w.point(12, b.BD3());
        w.point(13, b.BD3());
    }
    w.integer(90, b.BL());
    w.num(40, b.BD());  // the dogleg's length
    for (std::uint32_t lines = boundedCount(b.BL(), b, 4), i = 0; i < lines; ++i) {
        w.str(304, "LEADER_LINE{");
        for (std::uint32_t n = boundedCount(b.BL(), b, 6), k = 0; k < n; ++k) w.point(10, b.BD3());
        const std::uint32_t breaks = boundedCount(b.BL(), b, 4);
        for (std::uint32_t k = 0; k < breaks; ++k) {
            w.integer(90, b.BL());
            for (std::uint32_t m = boundedCount(b.BL(), b, 12), j = 0; j < m; ++j) {
                w.point(11, b.BD3());
                w.point(12, b.BD3());
            }
        }
        w.integer(91, b.BL());
        if (d.release() >= Release::R2010) {
            w.integer(170, b.BS());
            skipColor(d, s);
            w.integer(171, static_cast<std::int32_t>(b.BL()));  // lineweight, -2 by block
            w.num(40, b.BD());
            w.integer(93, b.BL());
        }
        w.str(305, "}");
    }
    if (d.release() >= Release::R2010) w.integer(271, b.BS());
    w.str(303, "}");
}

void multileader(const GroupContext& ctx, EntityStreams& s, GroupWriter& w) {
    const Document& d = ctx.doc;
    BitReader& b = s.data;
    w.str(100, "AcDbMLeader");
    if (d.release() >= Release::R2010) w.integer(270, b.BS());
    // The context data: its leaders come first in a DWG and last in a DXF.
    GroupWriter leaders;
    for (std::uint32_t n = boundedCount(b.BL(), b, 8), i = 0; i < n; ++i) leaderRoot(d, s, leaders);
    w.str(300, "CONTEXT_DATA{");
    w.num(40, b.BD());      // scale
    w.point(10, b.BD3());   // content base point
    w.num(41, b.BD());      // text height
    w.num(140, b.BD());     // arrowhead size
    w.num(145, b.BD());     // landing gap
    w.integer(174, b.BS());
    w.integer(175, b.BS());
    w.integer(176, b.BS());
    w.integer(177, b.BS());
    const bool hasText = b.B();
    w.integer(290, hasText);
    if (hasText) {
        w.str(304, dxfText(d.text(b, s.strings)));
        w.point(11, b.BD3());  // normal
        w.point(12, b.BD3());  // location
        w.point(13, b.BD3());  // direction
        w.num(42, b.BD());     // rotation
        w.num(43, b.BD());     // boundary width
        w.num(44, b.BD());     // boundary height
        w.num(45, b.BD());     // line spacing factor
        w.integer(170, b.BS());
        skipColor(d, s);
        w.integer(171, b.BS());  // attachment
        w.integer(172, b.BS());  // flow direction
        skipColor(d, s);         // background
        w.num(141, b.BD());
        w.integer(92, b.BL());
        w.integer(291, b.B());
        w.integer(292, b.B());
        w.integer(173, b.BS());
        w.integer(293, b.B());
        w.num(142, b.BD());
        w.num(143, b.BD());
        w.integer(294, b.B());
        for (std::uint32_t n = boundedCount(b.BL(), b, 2), i = 0; i < n; ++i) w.num(144, b.BD());
        w.integer(295, b.B());
    }
    const bool hasBlock = b.B();
    w.integer(296, hasBlock);
    if (hasBlock) {
        w.point(14, b.BD3());  // normal
        w.point(15, b.BD3());  // location
        w.point(16, b.BD3());  // scale
        w.num(46, b.BD());     // rotation
        skipColor(d, s);
        for (int i = 0; i < 16; ++i) w.num(47, b.BD());
    }
    w.point(110, b.BD3());
    w.point(111, b.BD3());
    w.point(112, b.BD3());
    w.integer(297, b.B());
    if (d.release() >= Release::R2010) {
        w.integer(273, b.BS());
        w.integer(272, b.BS());
    }
    for (Tag& t : leaders.tags) w.tags.push_back(std::move(t));
    w.str(301, "}");

    // The multileader's own properties.
    w.integer(90, b.BL());   // override flags
    w.integer(170, b.BS());  // leader line type
    skipColor(d, s);
    w.integer(171, static_cast<std::int32_t>(b.BL()));  // lineweight, -2 by block
    w.integer(290, b.B());  // landing
    w.integer(291, b.B());  // dogleg
    w.num(41, b.BD());
    w.num(42, b.BD());        // arrowhead size
    w.integer(172, b.BS());   // content type
    w.integer(173, b.BS());
    w.integer(95, b.BS());
    w.integer(174, b.BS());
    w.integer(175, b.BS());
    skipColor(d, s);
    w.integer(292, b.B());
    skipColor(d, s);
    w.point(10, b.BD3());  // block scale
    w.num(43, b.BD());
    w.integer(176, b.BS());
    w.integer(293, b.B());
    if (d.release() <= Release::R2007)
        for (std::uint32_t n = boundedCount(b.BL(), b, 1), i = 0; i < n; ++i) w.integer(94, b.B());
    for (std::uint32_t n = boundedCount(b.BL(), b, 4), i = 0; i < n; ++i) {
        w.str(302, dxfText(d.text(b, s.strings)));
        w.integer(177, b.BS());
        w.num(44, b.BD());
    }
    w.integer(294, b.B());
    w.integer(178, b.BS());
    w.integer(179, b.BS());
    w.num(45, b.BD());
    if (d.release() >= Release::R2010) {
        w.integer(271, b.BS());
        w.integer(273, b.BS());
        w.integer(272, b.BS());
    }
    if (d.release() >= Release::R2013) w.integer(295, b.B());
}

}  // namespace

bool decodeMultileaders(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    const std::string name = ctx.doc.dxfName(o);
    if (name != "MULTILEADER" && name != "MLEADER") return false;
    multileader(ctx, s, w);
    return true;
}

}  // namespace dxf::dwg
