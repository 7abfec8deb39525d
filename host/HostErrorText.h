#pragma once
// The description of a host error as the window shows it. Our hosts (the
// engine, drawhost and the clients) describe their errors in English, which
// laminor-batch prints as they are; a message box of the window says the
// same in Japanese, keeping the names and paths the description carries.
#include <QString>

namespace host {

// The Japanese text for a description our hosts give; a description none of
// them gives is returned with a Japanese lead-in chosen by the error number,
// or unchanged when the number says nothing either.
QString japaneseErrorText(long number, const QString& description);

}  // namespace host
