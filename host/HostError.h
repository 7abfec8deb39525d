#pragma once
// An error raised by the drawing host: a number and a description, as the
// host reports them. Every failing host member throws one.
#include <QString>
#include <stdexcept>

namespace host {

class HostError : public std::runtime_error {
public:
    HostError(long number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
    long number() const { return number_; }
    const QString& description() const { return description_; }

private:
    long number_;
    QString description_;
};

// The numbers our hosts raise. The values follow the automation errors of the
// host the system was written for, so that messages showing a number look familiar.
namespace errc {
constexpr long kNotRunning = 429;            // no running host / cannot create one
constexpr long kInvalidArgument = 5;         // invalid procedure call or argument
constexpr long kKeyNotFound = -2145386476;   // named item (layer, document, block) not found
constexpr long kDuplicateKey = -2145386475;  // a record of that name exists already
constexpr long kInvalidInput = -2145386493;  // value refused (bad name, colour out of range)
constexpr long kObjectInUse = -2145386239;   // layer in use, current, 0 or Defpoints
constexpr long kNoDocument = -2145320900;    // no active document
constexpr long kFileError = -2145386390;     // drawing cannot be opened or saved
constexpr long kNotApplicable = 438;         // object does not support this member
constexpr long kDisconnected = -2147417848;  // the host went away
}  // namespace errc

}  // namespace host
