#pragma once

#include <QString>
#include <QtGlobal>

// The text builders behind the statement buttons of the code editor. Each returns a piece of
// JavaScript source (comments in Chinese) made from what the user entered; inputs go in
// unchanged. A choice word outside its list gives a shorter piece, never an error.
namespace LanguageModule {

// A call of the function named by header, ended by ";" and CR LF.
QString makeCallSnippet(const QString& header);
// choice "执行语句" (if block) or "执行循环" (while loop); any other word: the empty text.
QString makeConditionSnippet(const QString& condition, const QString& choice);
// kind "延迟" (setTimeout) or "循环" (setInterval); unit "毫秒" or "秒". The only piece with
// no line end after it. The seconds delay is written as count × 1000 in full; callers that
// need it to fit 16 bits check timerDelayFits first.
QString makeTimerSnippet(const QString& kind, qint16 count, const QString& unit,
                         const QString& code);
// Whether the delay that makeTimerSnippet writes for count and unit fits a 16-bit signed
// integer (any count does for a unit other than "秒").
bool timerDelayFits(qint16 count, const QString& unit);
QString makeFunctionSnippet(const QString& header);
QString makeAlertSnippet(const QString& message);
// choice "根据编号" or "根据名称"; draws one random variable name per call.
QString makeSearchSnippet(const QString& choice, const QString& key);
// choice "点击" or "输入".
QString makeControlSnippet(const QString& choice, const QString& target);
// choice "编号", "名称", "内容", "链接" or "来源"; draws one random variable name per call.
QString makeReadSnippet(const QString& choice, const QString& target);
QString makeTrySnippet();
// choice "单行注释" or "多行注释".
QString makeCommentSnippet(const QString& choice);

}  // namespace LanguageModule
