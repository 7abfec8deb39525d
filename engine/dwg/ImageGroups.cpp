// Raster images and wipeouts: IMAGE and WIPEOUT share their layout (the
// frame by its corner and pixel vectors, the pixel size, display settings
// and the clip boundary in pixels).
#include "engine/dwg/Groups.h"

namespace dxf::dwg {

namespace {

void image(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w, const char* sub) {
    const Document& d = ctx.doc;
    BitReader& b = s.data;
    const std::uint32_t version = b.BL();
    const Vec3 corner = b.BD3(), u = b.BD3(), v = b.BD3();
    const Vec3 size = b.RD2();
    const unsigned display = b.BS();
    const bool clipping = b.B();
    const unsigned brightness = b.RC(), contrast = b.RC(), fade = b.RC();
    bool clipInside = false;
    if (d.release() >= Release::R2010) clipInside = b.B();
    const unsigned clipType = b.BS();
    std::vector<Vec3> clip;
    if (clipType == 1) {
        clip.push_back(b.RD2());
        clip.push_back(b.RD2());
    } else {
        const std::uint32_t n = b.BL();
        if (n > b.remaining() / 128) throw BitOverrun("clip vertex count beyond the object");
        clip.resize(n);
        for (Vec3& p : clip) p = b.RD2();
    }
    // A polygon's DXF lists its first vertex again at the end.
    if (clipType != 1 && clip.size() > 2 && (clip.back().x != clip.front().x || clip.back().y != clip.front().y))
        clip.push_back(clip.front());
    const std::uint64_t def = Document::ref(o, s.handles.H());
    const std::uint64_t reactor = Document::ref(o, s.handles.H());

    w.str(100, sub);
    w.integer(90, version);
    w.point(10, corner);
    w.point(11, u);
    w.point(12, v);
    w.num(13, size.x);
    w.num(23, size.y);
    w.handle(340, def);
    w.integer(70, display);
    w.integer(280, clipping ? 1 : 0);
    w.integer(281, brightness);
    w.integer(282, contrast);
    w.integer(283, fade);
    w.handle(360, reactor);
    w.integer(71, clipType);
    w.integer(91, static_cast<long long>(clip.size()));
    for (const Vec3& p : clip) w.point(14, p, false);
    if (d.release() >= Release::R2010) w.integer(290, clipInside ? 1 : 0);
}

}  // namespace

bool decodeImages(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    const std::string name = ctx.doc.dxfName(o);
    if (name == "IMAGE") image(ctx, o, s, w, "AcDbRasterImage");
    else if (name == "WIPEOUT") image(ctx, o, s, w, "AcDbWipeout");
    else return false;
    return true;
}

}  // namespace dxf::dwg
