// Common groups of every object, and dispatch to the type decoders.
#include "engine/dwg/Groups.h"

#include <charconv>
#include <cmath>

#include "engine/dwg/Tables.h"

namespace dxf::dwg {

void GroupWriter::num(int code, double v) {
    char buf[64];
    if (!std::isfinite(v)) v = 0;
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, res.ptr);
    // DXF writes reals with a decimal point.
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    str(code, std::move(s));
}

void GroupWriter::handle(int code, std::uint64_t h) { str(code, formatHandle(h)); }

std::string subclassOf(const Document& d, const ObjectInfo& o) {
    using namespace type;
    switch (d.fixedType(o)) {
    case Text: return "AcDbText";
    case Attrib: return "AcDbAttribute";
    case Attdef: return "AcDbAttributeDefinition";
    case Block: return "AcDbBlockBegin";
    case Endblk: return "AcDbBlockEnd";
    case Seqend: return "AcDbSequenceEnd";
    case Insert:
    case Minsert: return o.type == Minsert ? "AcDbMInsertBlock" : "AcDbBlockReference";
    case Vertex2d: return "AcDb2dVertex";
    case Vertex3d: return "AcDb3dPolylineVertex";
    case VertexMesh: return "AcDbPolygonMeshVertex";
    case VertexPface: return "AcDbPolyFaceMeshVertex";
    case VertexPfaceFace: return "AcDbFaceRecord";
    case Polyline2d: return "AcDb2dPolyline";
    case Polyline3d: return "AcDb3dPolyline";
    case PolylinePface: return "AcDbPolyFaceMesh";
    case PolylineMesh: return "AcDbPolygonMesh";
    case Arc: return "AcDbArc";
    case Circle: return "AcDbCircle";
    case Line: return "AcDbLine";
    case DimOrdinate: return "AcDbOrdinateDimension";
    case DimLinear: return "AcDbRotatedDimension";
    case DimAligned: return "AcDbAlignedDimension";
    case DimAng3Pt: return "AcDb3PointAngularDimension";
    case DimAng2Ln: return "AcDb2LineAngularDimension";
    case DimRadius: return "AcDbRadialDimension";
    case DimDiameter: return "AcDbDiametricDimension";
    case Point: return "AcDbPoint";
    case Face3d: return "AcDbFace";
    case Solid: return "AcDbSolid";
    case Trace: return "AcDbTrace";
    case Shape: return "AcDbShape";
    case Viewport: return "AcDbViewport";
    case Ellipse: return "AcDbEllipse";
    case Spline: return "AcDbSpline";
    case Region: return "AcDbRegion";
    case Solid3d: return "AcDb3dSolid";
    case Body: return "AcDbBody";
    case Ray: return "AcDbRay";
    case Xline: return "AcDbXline";
    case Dictionary: return "AcDbDictionary";
    case OleFrame: return "AcDbOleFrame";
    case Mtext: return "AcDbMText";
    case Leader: return "AcDbLeader";
    case Tolerance: return "AcDbFcf";
    case Mline: return "AcDbMline";
    case BlockControl: return "AcDbBlockTable";
    case BlockHeader: return "AcDbBlockTableRecord";
    case LayerControl: return "AcDbLayerTable";
    case Layer: return "AcDbLayerTableRecord";
    case StyleControl: return "AcDbTextStyleTable";
    case Style: return "AcDbTextStyleTableRecord";
    case LtypeControl: return "AcDbLinetypeTable";
    case Ltype: return "AcDbLinetypeTableRecord";
    case ViewControl: return "AcDbViewTable";
    case View: return "AcDbViewTableRecord";
    case UcsControl: return "AcDbUCSTable";
    case Ucs: return "AcDbUCSTableRecord";
    case VportControl: return "AcDbViewportTable";
    case Vport: return "AcDbViewportTableRecord";
    case AppidControl: return "AcDbRegAppTable";
    case Appid: return "AcDbRegAppTableRecord";
    case DimstyleControl: return "AcDbDimStyleTable";
    case Dimstyle: return "AcDbDimStyleTableRecord";
    case VxControl: return "AcDbViewportEntityTable";
    case Vx: return "AcDbViewportEntityTableRecord";
    case Group: return "AcDbGroup";
    case MlineStyle: return "AcDbMlineStyle";
    case Ole2Frame: return "AcDbOle2Frame";
    case LwPolyline: return "AcDbPolyline";
    case Hatch: return "AcDbHatch";
    case Xrecord: return "AcDbXrecord";
    case Placeholder: return "AcDbPlaceHolder";
    case Layout: return "AcDbLayout";
    case ProxyEntity: return "AcDbProxyEntity";
    case ProxyObject: return "AcDbProxyObject";
    default: break;
    }
    if (const ClassDef* k = d.classOf(o.type)) {
        if (k->cppName.rfind("AcDb", 0) != 0) return k->itemId == 0x1F2 ? "AcDbProxyEntity" : "AcDbProxyObject";
        return k->cppName;
    }
    return {};
}

std::vector<Tag> objectGroups(const GroupContext& ctx, const ObjectInfo& o) {
    const Document& d = ctx.doc;
    GroupWriter w;
    std::string name = d.dxfName(o);
    w.str(0, name.empty() ? "ACAD_PROXY_OBJECT" : name);
    w.handle(5, o.handle);
    if (o.owner) w.handle(330, o.owner);
    const bool entity = o.flags & kIsEntity;
    if (entity) {
        w.str(100, "AcDbEntity");
        if (ctx.paperSpace) w.integer(67, 1);
        w.str(8, ctx.layer);
        if (o.flags & kLtypeByBlock) w.str(6, "ByBlock");
        else if (o.flags & kLtypeContinuous) w.str(6, "Continuous");
        else if (d.ltypeOf(o) && d.release() >= Release::R2000) {
            std::string lt = ctx.name(d.ltypeOf(o));
            if (!lt.empty() && lt != "ByLayer" && lt != "BYLAYER") w.str(6, lt);
        }
        if ((o.rgb >> 24) == 0xC2) {
            w.integer(62, nearestAci(o.rgb & 0xFFFFFF));
            w.integer(420, o.rgb & 0xFFFFFF);
        } else if (o.color != 256) {
            w.integer(62, o.color);
        }
        if (o.lineweight != 29 && d.release() >= Release::R2000) w.integer(370, lineweightOf(o.lineweight));
        if (o.flags & kInvisible) w.integer(60, 1);
    }
    std::string sub = subclassOf(d, o);
    if (o.flags & kUnread) {
        if (!sub.empty()) w.str(100, sub);
        return w.tags;
    }
    if (entity) {
        GroupWriter body;
        try {
            EntityStreams s{d.dataReader(o), d.stringReader(o), d.handleReader(o)};
            if (decodeCurves(ctx, o, s, body) || decodeBlockRefs(ctx, o, s, body) || decodeTextual(ctx, o, s, body) ||
                decodeLeaders(ctx, o, s, body) || decodeImages(ctx, o, s, body) ||
                decodeMeshes(ctx, o, s, body) || decodeMultileaders(ctx, o, s, body) ||
                decodeMlines(ctx, o, s, body)) {
                for (Tag& t : body.tags) w.tags.push_back(std::move(t));
                return w.tags;
            }
        } catch (const BitOverrun&) {
            // Fields we could not read: the entity keeps its common groups.
        }
    }
    if (!sub.empty()) w.str(100, sub);
    if (!entity) {
        GroupWriter body;
        try {
            EntityStreams s{d.dataReader(o), d.stringReader(o), d.handleReader(o)};
            if (decodeStyles(ctx, o, s, body))
                for (Tag& t : body.tags) w.tags.push_back(std::move(t));
        } catch (const BitOverrun&) {
            // A style we could not read keeps its common groups.
        }
    }
    return w.tags;
}

}  // namespace dxf::dwg
