#pragma once
// Errors the engine raises. Each carries a number and a description; the
// numbers are those of host/HostError.h (errc), so the host adapter passes them
// on unchanged. The engine does not include that header: it stays free of Qt.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace dxf {

// Text safe to show in a message or on a terminal: control characters (C0,
// DEL, C1) and bytes that are not UTF-8 are written as \xNN, so the bytes
// of a hostile drawing quoted in an error cannot drive the terminal.
std::string printableText(std::string_view text);

namespace err {
constexpr long kInvalidArgument = 5;         // invalid argument
constexpr long kKeyNotFound = -2145386476;   // named item or handle not found
constexpr long kDuplicateKey = -2145386475;  // a record of that name exists already
constexpr long kInvalidInput = -2145386493;  // value refused (bad name, colour out of range)
constexpr long kObjectInUse = -2145386239;   // layer in use, current, 0 or Defpoints
constexpr long kFileError = -2145386390;     // drawing cannot be opened or saved
constexpr long kNotApplicable = 438;         // object does not support this member
}  // namespace err

class EngineError : public std::runtime_error {
public:
    EngineError(long number, const std::string& description)
        : std::runtime_error(printableText(description)), number_(number) {}
    long number() const { return number_; }
    const char* description() const { return what(); }

private:
    long number_;
};

// A drawing that does not parse. The description names the file position
// (line for ASCII DXF, byte offset for binary DXF) and the reason.
class ParseError : public EngineError {
public:
    ParseError(const std::string& description, std::uint64_t line, std::uint64_t offset)
        : EngineError(err::kFileError, description), line_(line), offset_(offset) {}
    std::uint64_t line() const { return line_; }      // 1-based, 0 for binary DXF
    std::uint64_t offset() const { return offset_; }  // byte offset in the file

private:
    std::uint64_t line_;
    std::uint64_t offset_;
};

}  // namespace dxf
