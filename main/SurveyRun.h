#pragma once
// Mode 3 without a window: every drawing surveyed into one new workbook,
// which is then saved as a file (the headless runner and the benchmark).
#include <QString>
#include <QStringList>
#include <functional>

#include "main/BatchRun.h"

namespace mainwin {

struct SurveyRunResult {
    bool officeFound = false;
    bool saved = false;
    int done = 0;
    int failed = 0;
    QString error;  // why the workbook was not saved
};

// Surveys the drawings with the host installed as the provider (found or
// started) and saves the workbook to outPath (.xlsx or .ods). progress, when
// given, hears of each drawing as it ends and the seconds it took.
SurveyRunResult runSurvey(const SurveyOptions& options, const QStringList& drawings, const QString& outPath,
                          const std::function<void(const QString& drawing, bool ok, double seconds)>& progress = {});

}  // namespace mainwin
