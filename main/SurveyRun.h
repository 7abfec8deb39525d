#pragma once
// Mode 3 over a workbook sink: the workbook the batch run fills (in the
// spreadsheet application, or a workbook file), and every drawing surveyed
// into one workbook without a window (laminor-batch, the benchmark, tests).
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "host/SurveySink.h"
#include "main/BatchRun.h"

namespace mainwin {

// The workbook of one export over a sink: the layer survey of each drawing
// writes into it, finish() ends the sink's run.
class SinkSurveyWorkbook : public SurveyWorkbook {
public:
    explicit SinkSurveyWorkbook(std::unique_ptr<host::SurveySink> sink) : sink_(std::move(sink)) {}
    bool fun_bOutputLayerInfo(host::ApplicationPtr acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                              const SurveyOptions& options, support::StatusLabel& lblStatus) override;
    void finish() override { sink_->finish(); }
    host::SurveySink& sink() { return *sink_; }

private:
    std::unique_ptr<host::SurveySink> sink_;
};

struct SurveyRunResult {
    bool hostFound = false;
    int done = 0;
    int failed = 0;
};

// Surveys the drawings into the workbook with the host installed as the
// provider (found or started), then finishes the workbook. progress, when
// given, hears of each drawing as it ends and the seconds it took.
SurveyRunResult runSurvey(SurveyWorkbook& book, const SurveyOptions& options, const QStringList& drawings,
                          const std::function<void(const QString& drawing, bool ok, double seconds)>& progress = {});

}  // namespace mainwin
