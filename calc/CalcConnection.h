#pragma once
// Attaching to the user's office, or starting one.
#include <QString>
#include <QStringList>

#include "CalcApp.h"

namespace calc {

struct OfficeOptions {
    // The UNO pipe the office accepts on; per user by default.
    QString pipeName;
    // Tests: no window, hidden documents, a private profile folder.
    bool headless = false;
    QString profileDir;
    // How long to wait for a started office to answer.
    int startTimeoutMs = 60000;
    QString sofficeProgram = QStringLiteral("soffice");
};

void setOfficeOptions(const OfficeOptions& options);
OfficeOptions officeOptions();

// The running office (over the pipe), or a newly started one made visible.
// True when either worked; xlApp is then set.
bool fun_bGetExcel(ApplicationPtr& xlApp);

// Asks a started office to end (tests); the user's office is never closed by the system.
void terminateOffice();

}  // namespace calc
