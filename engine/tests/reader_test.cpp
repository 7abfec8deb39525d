// Malformed input, encodings and binary DXF.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestDrawings.h"
#include "engine/Drawing.h"
#include "engine/Tags.h"

using namespace dxftest;

namespace {

dxf::ParseError parseFailure(const std::string& bytes) {
    try {
        dxf::Drawing::fromBytes(bytes, "bad.dxf");
    } catch (const dxf::ParseError& e) {
        return e;
    }
    ADD_FAILURE() << "parsed";
    return dxf::ParseError("", 0, 0);
}

}  // namespace

TEST(Reader, MalformedInputFailsWithPosition) {
    std::string good = makeDrawing(DrawingSpec{});
    {
        // a group code line that is not a number, on line 5
        std::string bad = "  0\nSECTION\n  2\nHEADER\nxyz\n1\n";
        dxf::ParseError e = parseFailure(bad);
        EXPECT_EQ(e.line(), 5u);
        EXPECT_NE(std::string(e.what()).find("line 5"), std::string::npos) << e.what();
        EXPECT_EQ(e.number(), dxf::err::kFileError);
    }
    {
        // truncated in the middle: the EOF marker is missing
        dxf::ParseError e = parseFailure(good.substr(0, good.size() / 2));
        EXPECT_NE(std::string(e.what()).find("EOF"), std::string::npos) << e.what();
    }
    {
        dxf::ParseError e = parseFailure("");
        EXPECT_NE(std::string(e.what()).find("SECTION"), std::string::npos) << e.what();
    }
    {
        dxf::ParseError e = parseFailure("garbage without any structure\n\x01\x02\n");
        EXPECT_GT(e.line(), 0u);
    }
    {
        // a code without its value line at the very end
        std::string bad = good.substr(0, good.rfind("EOF")) ;
        bad = bad.substr(0, bad.rfind("  0\n")) + "  0";
        parseFailure(bad);
    }
}

TEST(Reader, TruncatedBinaryFailsWithOffset) {
    std::string path = corpusDir() + "/ezdxf_bin_dxf_r2000.dxf";
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    std::string bytes = readAll(path);
    for (std::size_t cut : {std::size_t(23), bytes.size() / 3, bytes.size() - 5}) {
        dxf::ParseError e = parseFailure(bytes.substr(0, cut));
        EXPECT_EQ(e.line(), 0u);
        EXPECT_NE(std::string(e.what()).find("byte"), std::string::npos) << e.what();
    }
}

TEST(Reader, OpeningAMissingFileFails) {
    EXPECT_THROW(dxf::Drawing::open("/nonexistent/x.dxf"), dxf::EngineError);
}

TEST(Encoding, Cp932NamesBeforeR2007) {
    DrawingSpec spec;
    spec.acadver = "AC1015";
    spec.codepage = "ANSI_932";
    // "壁" in CP932 is 0x95 0xC7; "通り芯" is 0x92 0xCA 0x82 0xE8 0x90 0x63
    spec.layers = {{"0"}, {"\x95\xC7"}, {"\x92\xCA\x82\xE8\x90\x63"}};
    spec.entities = entity("LINE", "100", "\x95\xC7", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}});
    std::string text = makeDrawing(spec);
    auto d = dxf::Drawing::fromBytes(text);
    EXPECT_EQ(d->layerAt(1).name(), "壁");
    EXPECT_EQ(d->layerAt(2).name(), "通り芯");
    EXPECT_EQ(d->modelSpace().at(0).layer(), "壁");
    d->layer("通り芯").setName("既存通り芯");
    d->mergeLayer("壁", "0");
    std::string out = d->serialize();
    // written back in CP932, not UTF-8
    EXPECT_NE(out.find("\x8A\xF9\x91\xB6\x92\xCA\x82\xE8\x90\x63"), std::string::npos);
    EXPECT_EQ(out.find("既存"), std::string::npos);
    auto again = dxf::Drawing::fromBytes(out);
    EXPECT_TRUE(again->findLayer("既存通り芯").has_value());
    EXPECT_FALSE(again->findLayer("壁").has_value());
}

TEST(Encoding, CodepageNamesInAnyCaseAndMissing) {
    for (std::string cp : {"ansi_932", "dos932", "ANSI_932", ""}) {
        SCOPED_TRACE(cp);
        DrawingSpec spec;
        spec.codepage = cp;
        spec.layers = {{"0"}, {"\x95\xC7"}};
        EXPECT_EQ(dxf::Drawing::fromBytes(makeDrawing(spec))->layerAt(1).name(), "壁");
    }
    DrawingSpec latin;
    latin.codepage = "ANSI_1252";
    latin.layers = {{"0"}, {"Caf\xE9"}};
    EXPECT_EQ(dxf::Drawing::fromBytes(makeDrawing(latin))->layerAt(1).name(), "Café");
}

TEST(Encoding, Utf8FromR2007WhateverTheHeaderSays) {
    DrawingSpec spec;
    spec.acadver = "AC1021";
    spec.codepage = "ANSI_1252";
    spec.layers = {{"0"}, {"壁"}, {"中文"}};
    auto d = dxf::Drawing::fromBytes(makeDrawing(spec));
    EXPECT_EQ(d->layerAt(1).name(), "壁");
    d->layer("中文").setName("通り芯");
    EXPECT_NE(d->serialize().find("通り芯"), std::string::npos);
}

TEST(Encoding, UnicodeEscapesDecodeAndUnrepresentableCharactersEscape) {
    DrawingSpec spec;
    spec.codepage = "ANSI_1252";
    spec.layers = {{"0"}, {"D\\U+2300"}, {"\\U+00B0C"}};
    auto d = dxf::Drawing::fromBytes(makeDrawing(spec));
    EXPECT_EQ(d->layerAt(1).name(), "D⌀");
    EXPECT_EQ(d->layerAt(2).name(), "°C");
    EXPECT_TRUE(d->findLayer("d⌀").has_value());
    d->layer("D⌀").setName("壁");  // not in CP1252
    EXPECT_NE(d->serialize().find("\\U+58C1"), std::string::npos);
}

TEST(BinaryDxf, CorpusFilesReadLayersAndEdit) {
    for (std::string name : {"ezdxf_bin_dxf_r12.dxf", "acadsharp_sample_AC1032_binary.dxf"}) {
        std::string path = corpusDir() + "/" + name;
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        SCOPED_TRACE(name);
        auto d = dxf::Drawing::open(path);
        EXPECT_EQ(d->format(), dxf::Format::Binary);
        ASSERT_GT(d->layerCount(), 0u);
        EXPECT_EQ(d->layerAt(0).name(), "0");
        dxf::Layer l = d->addLayer("NEWLAYER");
        l.setColor(5);
        auto all = d->selectAll({});
        ASSERT_FALSE(all.empty());
        all.front().setLayer("NEWLAYER");
        std::string h = all.front().handle();
        auto again = dxf::Drawing::fromBytes(d->serialize());
        EXPECT_EQ(again->layer("NEWLAYER").color(), 5);
        EXPECT_EQ(again->selectAll({}).front().layer(), "NEWLAYER");
    }
}

TEST(Reader, DamagedDrawingsEitherReadLosslesslyOrFailCleanly) {
    // Deterministic damage to real drawings (cuts, flipped bytes, a broken
    // line end): every result either parses and writes back unchanged, or
    // fails with ParseError. The same property the fuzz target checks.
    std::vector<std::string> names = {"ezdxf_small_r14.dxf", "ezdxf_bin_dxf_r12.dxf", "ezdxf_bin_dxf_r2000.dxf",
                                      "libredwg_r10_entities.dxf"};
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    int parsed = 0, refused = 0;
    for (const std::string& name : names) {
        std::string path = corpusDir() + "/" + name;
        if (!std::filesystem::exists(path)) continue;
        std::string original = readAll(path);
        for (int i = 0; i < 60; ++i) {
            std::string bytes = original;
            switch (i % 3) {
            case 0: bytes.resize(next() % bytes.size()); break;
            case 1:
                for (int k = 0; k < 4; ++k) bytes[next() % bytes.size()] = static_cast<char>(next());
                break;
            case 2: bytes.erase(next() % bytes.size(), 1 + next() % 8); break;
            }
            try {
                auto d = dxf::Drawing::fromBytes(bytes, name);
                EXPECT_EQ(d->serialize(), bytes);
                for (const auto& l : d->layers()) (void)l.plotStyleName();
                if (d->layerCount() > 1) {
                    try {
                        d->mergeLayer(d->layerAt(1).name(), "0");
                    } catch (const dxf::EngineError&) {
                    }
                    EXPECT_NO_THROW(dxf::Drawing::fromBytes(d->serialize())) << name << " damage " << i;
                }
                ++parsed;
            } catch (const dxf::ParseError&) {
                ++refused;
            }
        }
    }
    ASSERT_GT(parsed + refused, 0);
    EXPECT_GT(refused, 0);
}

TEST(Reader, CodeLinesInEveryLayoutReadAlike) {
    // Padded, tab-led, zero-led, space-trailed, long and CRLF code lines,
    // and a last value without its line end; alike through the general
    // reader and the one for ASCII tags read in place.
    const std::string text =
        "0\nA\n  8\r\nL\r\n\t62\n1\n010\n5\n 10 \n1.5\n1071\n7\n  999\n\n330\r\nFF\r\n 1\n2\n  0\nEOF";
    const std::vector<std::pair<int, std::string>> expected = {{0, "A"},    {8, "L"},    {62, "1"},   {10, "5"},
                                                               {10, "1.5"}, {1071, "7"}, {999, ""},   {330, "FF"},
                                                               {1, "2"},    {0, "EOF"}};
    std::vector<std::pair<int, std::string>> read, inPlace;
    ASSERT_TRUE(dxf::forEachTag(text, dxf::TagFormat{}, [&](int code, std::size_t vb, std::size_t ve) {
        read.emplace_back(code, text.substr(vb, ve - vb));
    }));
    ASSERT_TRUE(dxf::forEachAsciiTag(text, [&](int code, std::size_t vb, std::size_t ve) {
        inPlace.emplace_back(code, text.substr(vb, ve - vb));
    }));
    EXPECT_EQ(read, expected);
    EXPECT_EQ(inPlace, expected);
    EXPECT_FALSE(dxf::forEachTag(std::string("1x\nA\n"), dxf::TagFormat{}, [](int, std::size_t, std::size_t) {}));
    EXPECT_FALSE(dxf::forEachAsciiTag(std::string("1x\nA\n"), [](int, std::size_t, std::size_t) {}));
}
