// Keyword translation both ways: input = keyword.db NUL text.

#include "fuzzsupport.h"
#include "library/translate.h"
#include "platform/core/ansi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    const QList<QByteArray> parts = fuzz::split(fuzz::bytes(data, size), 2);
    fuzz::scratch();
    fuzz::writeFile(fuzz::scratchFile(QStringLiteral("keyword.db")), parts[0]);
    TranslateModule::loadKeywords();
    const QString text = platform::fromAnsi(parts[1]);
    const QString cn = TranslateModule::translateScript(text, QStringLiteral("en2cn"));
    const QString en = TranslateModule::translateScript(text, QStringLiteral("cn2en"));
    if (text.isEmpty() != cn.isEmpty() || text.isEmpty() != en.isEmpty())
        fuzz::fail("only the empty text translates to the empty text");
    (void)TranslateModule::translateScript(cn, QStringLiteral("cn2en"));
    // Whatever shortcut the translation takes, a line comes out as the pairs applied one
    // after another by plain substitution, both ways, and a text as its lines so translated,
    // each followed by CR LF.
    QString expectedCn, expectedEn;
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        QString toCn = line, toEn = line;
        for (const QString& pair : TranslateModule::keywordPairs()) {
            const QString chinese = pair.section(QLatin1Char('='), 0, 0);
            const QString english = pair.section(QLatin1Char('='), 1, 1);
            if (!english.isEmpty()) toCn.replace(english, chinese);
            if (!chinese.isEmpty()) toEn.replace(chinese, english);
        }
        if (TranslateModule::translateLineEn2Cn(line) != toCn)
            fuzz::fail("a line translates to Chinese unlike plain substitution");
        if (TranslateModule::translateLineCn2En(line) != toEn)
            fuzz::fail("a line translates to English unlike plain substitution");
        expectedCn += toCn + QStringLiteral("\r\n");
        expectedEn += toEn + QStringLiteral("\r\n");
    }
    if (!text.isEmpty() && (cn != expectedCn || en != expectedEn))
        fuzz::fail("a text translates unlike its lines");
    return 0;
}
