#include "main/SurveyRun.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include "host/HostConnection.h"
#include "host/LayerSurvey.h"

namespace mainwin {

bool SinkSurveyWorkbook::fun_bOutputLayerInfo(host::ApplicationPtr acadApp, const QString& sDWGName,
                                              const QString& sDWGFullPath, const SurveyOptions& options,
                                              support::StatusLabel& lblStatus) {
    bool bTextInclude = options.textFlags.include;
    bool bTextWhole = options.textFlags.whole;
    QString sTextFilter = options.textFilter;
    const bool outputText = options.outputText && sink_->textSheet() != nullptr;
    return host::fun_bOutputLayerInfo(acadApp, sDWGName, sDWGFullPath, *sink_, outputText, lblStatus,
                                      options.layerFlags.include, bTextInclude, options.layerFlags.whole, bTextWhole,
                                      options.layerFilter, sTextFilter, options.countObjects);
}

SurveyRunResult runSurvey(SurveyWorkbook& book, const SurveyOptions& options, const QStringList& drawings,
                          const std::function<void(const QString& drawing, bool ok, double seconds)>& progress) {
    SurveyRunResult result;
    host::ApplicationPtr acadApp;
    if (!host::fun_bGetHost(acadApp)) return result;
    result.hostFound = true;
    support::PlainStatusLabel label;
    for (const QString& drawing : drawings) {
        const QFileInfo info(drawing);
        QElapsedTimer timer;
        timer.start();
        const bool ok = book.fun_bOutputLayerInfo(acadApp, info.fileName(), info.absoluteFilePath(), options, label);
        ok ? ++result.done : ++result.failed;
        if (progress) progress(drawing, ok, timer.nsecsElapsed() / 1e9);
    }
    book.finish();
    return result;
}

}  // namespace mainwin
