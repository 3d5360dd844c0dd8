#include "workbench/languagemodule.h"

#include "platform/core/random.h"

namespace LanguageModule {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QChar kQuote = QLatin1Char('"');

bool hasBothParentheses(const QString& s) {
    return s.contains(QLatin1Char('(')) && s.contains(QLatin1Char(')'));
}

// "tarObj" and the whole-number part of the next draw times 999 (0 to 998). No test for
// uniqueness: two pieces may declare the same name.
QString newElementVariable() {
    const int n = static_cast<int>(platform::rnd() * 999.0);
    return QStringLiteral("tarObj") + QString::number(n);
}

}  // namespace

QString makeCallSnippet(const QString& header) {
    if (hasBothParentheses(header)) {
        if (header.contains(QLatin1Char(';'))) return header + kCrLf;
        return header + QStringLiteral(";") + kCrLf;
    }
    return header + QStringLiteral("();") + kCrLf;
}

QString makeConditionSnippet(const QString& condition, const QString& choice) {
    if (choice == QStringLiteral("执行语句"))
        return QStringLiteral("if ((") + condition + QStringLiteral(")==true){") + kCrLf +
               QStringLiteral("//输入的语句") + kCrLf + QStringLiteral("}") + kCrLf;
    if (choice == QStringLiteral("执行循环"))
        return QStringLiteral("while (") + condition + QStringLiteral("){") + kCrLf +
               QStringLiteral("//输入的语句") + kCrLf + QStringLiteral("}") + kCrLf;
    return QString();
}

bool timerDelayFits(qint16 count, const QString& unit) {
    if (unit != QStringLiteral("秒")) return true;
    const int delay = int(count) * 1000;
    return delay >= -32768 && delay <= 32767;
}

QString makeTimerSnippet(const QString& kind, qint16 count, const QString& unit,
                         const QString& code) {
    QString s = kCrLf;
    if (kind == QStringLiteral("延迟"))
        s += QStringLiteral("setTimeout(") + kQuote;
    else if (kind == QStringLiteral("循环"))
        s += QStringLiteral("setInterval(") + kQuote;
    s += code;
    s += kQuote;
    s += QLatin1Char(',');
    if (unit == QStringLiteral("毫秒"))
        s += QString::number(int(count));
    else if (unit == QStringLiteral("秒"))
        s += QString::number(int(count) * 1000);
    s += QStringLiteral(");");
    return s;
}

QString makeFunctionSnippet(const QString& header) {
    return QStringLiteral("function ") + header +
           (hasBothParentheses(header) ? QStringLiteral("{") : QStringLiteral("(){")) + kCrLf +
           QStringLiteral("//方法体内容") + kCrLf + QStringLiteral("}") + kCrLf;
}

QString makeAlertSnippet(const QString& message) {
    return kCrLf + QStringLiteral("alert('") + message + QStringLiteral("');") + kCrLf;
}

QString makeSearchSnippet(const QString& choice, const QString& key) {
    const QString v = newElementVariable();
    QString s = kCrLf + QStringLiteral("//") + v +
                QStringLiteral("为自动生成,可变更为有意义的名称") + kCrLf;
    if (choice == QStringLiteral("根据编号"))
        s += QStringLiteral("var ") + v + QStringLiteral("=document.getElementById('") + key +
             QStringLiteral("');");
    else if (choice == QStringLiteral("根据名称"))
        s += QStringLiteral("var ") + v + QStringLiteral("=document.getElementsByName('") + key +
             QStringLiteral("');");
    return s + kCrLf;
}

QString makeControlSnippet(const QString& choice, const QString& target) {
    QString s = kCrLf;
    if (choice == QStringLiteral("点击"))
        s += target + QStringLiteral(".click();");
    else if (choice == QStringLiteral("输入"))
        s += target + QStringLiteral(".value='想要输入的内容';");
    return s + kCrLf;
}

QString makeReadSnippet(const QString& choice, const QString& target) {
    const QString v = newElementVariable();
    QString s = kCrLf + QStringLiteral("//") + v + QStringLiteral("为读取的内容") + kCrLf;
    QString property;
    if (choice == QStringLiteral("编号"))
        property = QStringLiteral(".id;");
    else if (choice == QStringLiteral("名称"))
        property = QStringLiteral(".name;");
    else if (choice == QStringLiteral("内容"))
        property = QStringLiteral(".innerHTML;");
    else if (choice == QStringLiteral("链接"))
        property = QStringLiteral(".href;");
    else if (choice == QStringLiteral("来源"))
        property = QStringLiteral(".src;");
    if (!property.isEmpty())
        s += QStringLiteral("var ") + v + QStringLiteral("=") + target + property;
    return s + kCrLf;
}

QString makeTrySnippet() {
    return kCrLf + QStringLiteral("try{") + kCrLf +
           QStringLiteral("//请在这里书写可能出现执行错误的语句") + kCrLf +
           QStringLiteral("}catch(e){") + kCrLf + QStringLiteral("// e 为捕获的错误信息") + kCrLf +
           QStringLiteral("// 程序出错后,执行的语句") + kCrLf + QStringLiteral("}") + kCrLf + kCrLf;
}

QString makeCommentSnippet(const QString& choice) {
    if (choice == QStringLiteral("单行注释")) return kCrLf + QStringLiteral("//") + kCrLf + kCrLf;
    if (choice == QStringLiteral("多行注释")) {
        const QString rule = QLatin1Char(' ') + QString(68, QLatin1Char('*'));
        const QString banner = QLatin1Char(' ') + QString(13, QLatin1Char('*')) +
                               QString(7, QLatin1Char(' ')) +
                               QStringLiteral("给自己的代码加上注释是个好习惯") +
                               QString(7, QLatin1Char(' ')) + QString(11, QLatin1Char('*'));
        return kCrLf + QStringLiteral("/*") + kCrLf + rule + kCrLf + banner + kCrLf + rule + kCrLf +
               QStringLiteral(" */") + kCrLf + kCrLf;
    }
    return kCrLf + kCrLf;
}

}  // namespace LanguageModule
