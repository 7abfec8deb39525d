// libFuzzer target for the DXF reader and the edits built on it.
//
// Whatever the input: no crash, no hang, nothing written to disk. When the
// input parses, it must serialise back unchanged, and the result of a few
// edits must parse again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/Drawing.h"

namespace {

void exercise(dxf::Drawing& d) {
    std::string before = d.serialize();
    for (const dxf::Layer& l : d.layers()) {
        (void)l.name();
        (void)l.color();
        (void)l.plotStyleName();
        (void)l.linetype();
    }
    struct Ignore : dxf::GroupVisitor {
        void group(int, std::string_view) override {}
    } ignore;
    for (const dxf::Entity& e : d.selectAll({})) {
        e.readGroups(ignore);
        (void)e.objectName();
        (void)e.layer();
        try {
            (void)e.boundingBox();
        } catch (const dxf::EngineError&) {
        }
        if (e.type() == "INSERT") (void)e.attributes();
    }
    (void)d.layouts();
    auto try_ = [](auto&& f) {
        try {
            f();
        } catch (const dxf::EngineError&) {
        }
    };
    if (d.layerCount() > 1) {
        dxf::Layer l = d.layerAt(1);
        std::string name = l.name();
        try_([&] { dxf::Layer(l).setName("FUZZ_RENAMED"); });
        try_([&] { d.layer("FUZZ_RENAMED").setColor(3); });
        try_([&] { d.mergeLayer("FUZZ_RENAMED", "0"); });
    }
    try_([&] { d.addLayer("FUZZ_NEW").setLock(true); });
    try_([&] { d.purgeAll(); });
    std::string after = d.serialize();
    // What the engine wrote must read again.
    auto again = dxf::Drawing::fromBytes(after, "fuzz-after.dxf");
    (void)again->layerCount();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<dxf::Drawing> d;
    try {
        d = dxf::Drawing::fromBytes(bytes, "fuzz.dxf");
    } catch (const dxf::EngineError&) {
        return 0;
    }
    if (d->serialize() != bytes) std::abort();  // lossless: unchanged drawings come back byte for byte
    exercise(*d);
    return 0;
}
