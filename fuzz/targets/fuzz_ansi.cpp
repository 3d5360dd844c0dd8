// The two ways of converting a text to GBK give the same bytes: the input taken as UTF-16
// units (lone surrogate halves included), as GBK and as UTF-8.

#include "fuzzsupport.h"
#include "platform/core/ansi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = fuzz::bytes(data, size);
    const QString units(reinterpret_cast<const QChar*>(input.constData()), input.size() / 2);
    for (const QString& text : {units, platform::fromAnsi(input), QString::fromUtf8(input)}) {
        const QByteArray table = platform::detail::tableAnsi(text);
        if (table != platform::detail::converterAnsi(text))
            fuzz::fail("the table and the converter give other bytes", text);
        if (platform::toAnsi(text) != table) fuzz::fail("toAnsi gives other bytes", text);
    }
    return 0;
}
