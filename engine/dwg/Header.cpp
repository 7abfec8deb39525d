// The header variables. There is no index: every variable before the ones
// we need is read in order. From R2007 on, strings sit in a string stream at
// the end of the data and handles in a handle stream after it, so the three
// are read side by side.
#include "engine/dwg/Document.h"
#include "engine/dwg/Sections.h"

namespace dxf::dwg {

namespace {

class HeaderReader {
public:
    HeaderReader(const Framed& f, Release r) : r_(r), b_(f.data, 0, static_cast<std::uint64_t>(f.size) * 8) {
        if (r >= Release::R2007) {
            std::uint32_t bits = b_.RL();
            if (bits > b_.end()) throw BitOverrun("header size in bits beyond the data");
            h_ = BitReader(f.data, bits, b_.end());
            s_ = stringStream(f.data, bits, b_.pos());
            b_.setEnd(s_.end() > s_.pos() ? s_.pos() : bits);
            if (r >= Release::R2013) b_.BLL();  // REQUIREDVERSIONS
        }
    }
    BitReader& b() { return b_; }
    bool split() const { return r_ >= Release::R2007; }
    void tv() { split() ? (void)s_.TU() : (void)b_.TV(); }
    HandleRef H() { return split() ? h_.H() : b_.H(); }
    std::uint64_t handlePos() const { return split() ? h_.pos() : b_.pos(); }
    void cmc() {
        b_.BS();
        if (r_ >= Release::R2004) {
            b_.BL();
            std::uint8_t flags = b_.RC();
            if (flags & 1) tv();
            if (flags & 2) tv();
        }
    }
    void bits(int n) {
        for (int i = 0; i < n; ++i) b_.B();
    }
    void shorts(int n) {
        for (int i = 0; i < n; ++i) b_.BS();
    }
    void doubles(int n) {
        for (int i = 0; i < n; ++i) b_.BD();
    }
    void longs(int n) {
        for (int i = 0; i < n; ++i) b_.BL();
    }
    void points(int n) {
        for (int i = 0; i < n; ++i) b_.BD3();
    }

private:
    Release r_;
    BitReader b_, h_, s_;
};

}  // namespace

void Document::readHeader() {
    Framed f = framed(c_, c_.header, kHeaderStart(), "header");
    const Release r = c_.release;
    try {
        HeaderReader x(f, r);
        BitReader& b = x.b();
        x.doubles(4);
        for (int i = 0; i < 4; ++i) x.tv();
        x.longs(2);
        if (r <= Release::R14) b.BS();
        if (r < Release::R2004) x.H();  // current viewport entity header
        if (r <= Release::R14) {
            // DIMASO DIMSHO DIMSAV PLINEGEN ORTHOMODE REGENMODE FILLMODE QTEXTMODE
            // PSLTSCALE LIMCHECK BLIPMODE USRTIMER SKPOLY ANGDIR SPLFRAME ATTREQ
            // ATTDIA MIRRTEXT WORLDVIEW WIREFRAME TILEMODE PLIMCHECK VISRETAIN
            // DELOBJ DISPSILH PELLIPSE
            x.bits(26);
            x.shorts(12);  // PROXYGRAPHICS DRAGMODE .. PDMODE PICKSTYLE
        } else {
            x.bits(2);  // DIMASO DIMSHO
            x.bits(7);  // PLINEGEN .. LIMCHECK
            if (r >= Release::R2004) x.bits(1);
            x.bits(11);   // USRTIMER .. PELLIPSE
            x.shorts(7);  // PROXYGRAPHICS .. ATTMODE
            hdr_.pdmode = static_cast<std::int16_t>(b.BS());
            if (r >= Release::R2004) x.longs(3);
        }
        x.shorts(19);   // USERI1 .. TEXTQLTY
        const double ltscale = b.BD();
        const double textsize = b.BD();
        x.doubles(5);  // TRACEWID SKETCHINC FILLETRAD THICKNESS ANGBASE
        const double pdsize = b.BD();
        x.doubles(12);  // PLINEWID USERR1..5 CHAMFERA..D FACETRES CMLSCALE
        const double celtscale = b.BD();
        x.tv();         // MENUNAME
        x.longs(4);     // TDCREATE TDUPDATE
        if (r >= Release::R2004) x.longs(3);
        x.longs(4);  // TDINDWG TDUSRTIMER
        x.cmc();     // CECOLOR
        hdr_.handseedBit = b.pos();
        hdr_.handseed = b.H().value;  // in the data stream in every version
        hdr_.clayerBit = x.handlePos();
        hdr_.clayer = x.H().value;
        if (r < Release::R2000) return;  // R13/R14: nothing else is needed from the header
        hdr_.ltscale = ltscale, hdr_.textsize = textsize, hdr_.pdsize = pdsize, hdr_.celtscale = celtscale;
        x.H(), x.H();                     // TEXTSTYLE CELTYPE
        if (r >= Release::R2007) x.H();  // CMATERIAL
        x.H(), x.H();  // DIMSTYLE CMLSTYLE
        b.BD();        // PSVPSCALE
        // Paper space first, then model space.
        for (int space = 0; space < 2; ++space) {
            b.BD3();  // INSBASE
            const Vec3 extmin = b.BD3(), extmax = b.BD3();
            const Vec3 limmin = b.RD2(), limmax = b.RD2();
            if (space == 1) hdr_.extmin = extmin, hdr_.extmax = extmax, hdr_.limmin = limmin, hdr_.limmax = limmax;
            b.BD();
            x.points(3);
            x.H();  // UCSNAME
            x.H();  // UCSORTHOREF
            b.BS();
            x.H();  // UCSBASE
            x.points(6);
        }
        x.tv(), x.tv();  // DIMPOST DIMAPOST
        hdr_.dimscale = b.BD();
        hdr_.dimasz = b.BD();
        x.doubles(7);  // DIMEXO .. DIMTM
        if (r >= Release::R2007) {
            x.doubles(2);  // DIMFXL DIMJOGANG
            b.BS();        // DIMTFILL
            x.cmc();       // DIMTFILLCLR
        }
        x.bits(6);    // DIMTOL .. DIMSE2
        x.shorts(3);  // DIMTAD DIMZIN DIMAZIN
        if (r >= Release::R2007) b.BS();  // DIMARCSYM
        hdr_.dimtxt = b.BD();
        x.doubles(8);                     // DIMCEN .. DIMALTRND
        b.B();                            // DIMALT
        b.BS();                           // DIMALTD
        x.bits(4);                        // DIMTOFL DIMSAH DIMTIX DIMSOXD
        x.cmc(), x.cmc(), x.cmc();        // DIMCLRD DIMCLRE DIMCLRT
        x.shorts(11);                     // DIMADEC .. DIMJUST
        x.bits(2);                        // DIMSD1 DIMSD2
        x.shorts(4);                      // DIMTOLJ .. DIMALTTZ
        b.B();                            // DIMUPT
        b.BS();                           // DIMATFIT
        if (r >= Release::R2007) b.B();   // DIMFXLON
        if (r >= Release::R2010) {
            b.B();  // DIMTXTDIRECTION
            b.BD();
            x.tv();
            b.BD();
            x.tv();
        }
        for (int i = 0; i < 5; ++i) x.H();  // DIMTXSTY .. DIMBLK2
        if (r >= Release::R2007) x.H(), x.H(), x.H();  // DIMLTYPE DIMLTEX1 DIMLTEX2
        x.shorts(2);                                   // DIMLWD DIMLWE
        hdr_.settingsKnown = true;
        hdr_.blockControl = x.H().value;
        hdr_.layerControl = x.H().value;
        hdr_.styleControl = x.H().value;
        hdr_.ltypeControl = x.H().value;
        hdr_.viewControl = x.H().value;
        hdr_.ucsControl = x.H().value;
        hdr_.vportControl = x.H().value;
        hdr_.appidControl = x.H().value;
        hdr_.dimstyleControl = x.H().value;
        if (r < Release::R2004) x.H();  // VX control
        hdr_.dictGroup = x.H().value;
        hdr_.dictMlinestyle = x.H().value;
        hdr_.dictNamed = x.H().value;
        x.shorts(2);     // TSTACKALIGN TSTACKSIZE
        x.tv(), x.tv();  // HYPERLINKBASE STYLESHEET
        hdr_.dictLayouts = x.H().value;
        hdr_.dictPlotSettings = x.H().value;
        hdr_.dictPlotStyles = x.H().value;
        if (r >= Release::R2004) x.H(), x.H();  // MATERIALS COLORS
        hdr_.flags = b.BL();
        hdr_.flagsKnown = true;
        hdr_.insunits = b.BS();
        if (r >= Release::R2007) return;  // the block records are taken from the BLOCK control
        if (b.BS() == 3) x.H();                 // CEPSNTYPE, CPSNID
        x.tv(), x.tv();                         // FINGERPRINTGUID VERSIONGUID
        if (r >= Release::R2004) {
            for (int i = 0; i < 6; ++i) b.RC();
            x.shorts(2);
            b.RC(), b.RC();
            x.tv();  // PROJECTNAME
        }
        hdr_.paperSpace = x.H().value;
        hdr_.modelSpace = x.H().value;
    } catch (const BitOverrun& e) {
        throw FormatError(c_.header.fileOffset, std::string("header variables: ") + e.what());
    }
}

}  // namespace dxf::dwg
