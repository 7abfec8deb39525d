#pragma once
// The DWG container: where the sections of a file lie and how to get their
// bytes. R13-R2000 files place plain sections through locators; R2004 and
// R2010+ files cut them into compressed, checksummed pages listed by a page
// map and a section map. R2007 has a container of its own (Reed-Solomon
// coding, another compression, 64-bit maps). Everything is
// verified while it is read: a CRC or checksum that does not match, or a
// structure pointing outside the file, throws FormatError with the byte
// offset.
//
// The maps are kept as read (page ids, sizes, file offsets, section page
// lists), so that a writer can later replace only the pages it changes.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dxf::dwg {

// A damaged or unsupported file. offset is a byte offset in the file.
struct FormatError : std::runtime_error {
    FormatError(std::uint64_t at, const std::string& why) : std::runtime_error(why), offset(at) {}
    std::uint64_t offset;
};

// A version or kind of DWG the reader does not read (not damage).
struct Unsupported : FormatError {
    Unsupported(std::uint64_t at, const std::string& why) : FormatError(at, why) {}
};

enum class Release { R13, R14, R2000, R2004, R2007, R2010, R2013, R2018 };

// Bytes of one section, either inside the file or decompressed.
struct SectionBytes {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::uint64_t fileOffset = 0;  // where the section (its first page) starts in the file
    bool present() const { return data != nullptr; }
};

// AC1012-AC1015: one locator record of the file header.
struct Locator {
    std::uint8_t id = 0;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// AC1018+: one page of the page map, in file order (gaps have negative ids).
struct PageRecord {
    std::int64_t id = 0;
    std::uint64_t size = 0;
    std::uint64_t address = 0;  // absolute file offset
};

// AC1018+: one page of a section, as the section map lists it.
struct SectionPage {
    std::int64_t pageId = 0;
    std::uint64_t dataSize = 0;     // compressed size (AC1018) / page data size
    std::uint64_t startOffset = 0;  // offset of its data inside the section
    std::uint64_t address = 0;      // file offset of the page
    std::uint64_t size = 0;         // AC1021: its decompressed size (pages differ in size)
    std::uint64_t diskSize = 0;     // AC1021: its size in the file, as the page map gives it
};

struct SectionDesc {
    std::string name;
    std::uint64_t size = 0;
    std::uint64_t maxPageSize = 0;
    std::uint32_t id = 0;
    bool compressed = false;
    std::uint32_t encrypted = 0;
    std::vector<SectionPage> pages;
    std::size_t mapOffset = 0;  // where its description lies in the section map
};

struct Container {
    std::string acadver;
    Release release = Release::R2000;
    std::uint16_t codepage = 0;
    std::uint8_t maintenance = 0;

    SectionBytes header;   // header variables: sentinel, RL size, data, CRC, sentinel
    SectionBytes classes;  // the same framing
    SectionBytes handles;  // the object map
    // AC1015: the whole file (map offsets are absolute). AC1021: the section,
    // decompressed. AC1018 and AC1024+: its size and place only; Document
    // reads its pages when needed (ObjectStream).
    SectionBytes objects;
    SectionBytes auxHeader;

    std::vector<Locator> locators;      // AC1012-AC1015
    std::vector<PageRecord> pages;      // AC1018+
    std::vector<SectionDesc> sections;  // AC1018+
    std::uint64_t r2004HeaderCrc = 0;   // as stored, for a writer's checks
    // AC1018+: the decrypted file header (0x6C bytes; AC1021: the 0x110
    // decompressed bytes), the decompressed
    // section map and the page ids of the two maps.
    std::vector<std::uint8_t> fileHeader;
    std::vector<std::uint8_t> sectionMap;
    std::int64_t sectionMapId = 0, pageMapId = 0;

    // Owner of decompressed section bytes.
    std::vector<std::unique_ptr<std::uint8_t[]>> storage;
    // Keeps the decompressed bytes of a section (AC1018+) and gives them.
    SectionBytes keep(std::unique_ptr<std::uint8_t[]> bytes, const SectionDesc& d);

    // The file offset of a byte of a decompressed section, for messages.
    std::uint64_t fileOffsetOf(const SectionBytes& s, std::uint64_t offsetInSection) const;
    // AC1018+: the section of that name (the last one listed), refused with
    // FormatError at `mapAt` when it is missing but required or when its size
    // is beyond any the file could hold; null when missing and not required.
    const SectionDesc* section(const std::string& name, bool required, std::uint64_t fileSize, std::uint64_t mapAt) const;
};

// Reads the container of a DWG file held in memory. The file must outlive the
// container (AC1015 sections are views into it). Unsupported versions and
// protected files are refused with a one-line FormatError.
Container readContainer(std::string_view file);

// R2004-family decompression of one page: writes at most cap bytes to out and
// returns how many it wrote. Throws FormatError (at `fileOffset` + position)
// on any out-of-range reference.
std::size_t decompressR2004(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t cap,
                            std::uint64_t fileOffset);

// R2007 decompression of one page, with the same contract as decompressR2004.
std::size_t decompressR2007(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t cap,
                            std::uint64_t fileOffset);

// The release named by a version string, or nothing for versions not read.
bool releaseOf(std::string_view acadver, Release& out);
// "AC1015 (R2000)"-style name used in messages.
std::string versionLabel(std::string_view acadver);

// Internal to the container readers.
Container readR2000(std::string_view file, Container c);
Container readR2004(std::string_view file, Container c);
Container readR2007(std::string_view file, Container c);
// AC1021: checks one page of a section and writes its pg.size bytes to out.
void readR2007Page(std::string_view file, const SectionDesc& s, const SectionPage& pg, std::uint8_t* out);

}  // namespace dxf::dwg
