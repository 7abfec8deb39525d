#pragma once
// The choice lists of the state rule columns: written into sheet
// "list_source" with their workbook names, and attached as list validations
// to columns C to J of a state rule sheet. The rule export and the layer
// survey both equip their state rule sheet this way, through a sink.
#include <QString>

#include "host/HostApi.h"
#include "host/SurveySink.h"

namespace host {

// One column of "list_source" each, with its workbook name; sFormula receives
// the list source ("=ColorList", "=LinetypeList", "=LineweightList").
void subMakeColorList(QString& sFormula, SheetSink& wsList);
void subMakeLinetypeList(QString& sFormula, const DocumentPtr& objDoc, SheetSink& wsList);
void subMakeLineweightList(QString& sFormula, SheetSink& wsList);
// "(変更なし)" and every distinct plot style name of the drawing's layers,
// separated by ",". Names are compared whole: "Style 1" is listed after
// "Style 10", so the stop-alert validation accepts both.
void subMakePlotStyleList(QString& sFormula, const DocumentPtr& objDoc);

// Fills "list_source" from the drawing and attaches the list validations of
// the state rule columns C to J of wsRule. A sink's SinkError passes through.
void subSetRuleValidation(SheetSink& wsRule, SheetSink& wsList, const DocumentPtr& objDoc);

}  // namespace host
