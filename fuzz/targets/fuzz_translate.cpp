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
    return 0;
}
