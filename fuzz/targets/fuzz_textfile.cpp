// readTextFile on any file: every line comes back followed by CR LF, with no lone CR left,
// and a text written with writeTextFile reads back with one CR LF more.

#include "fuzzsupport.h"
#include "library/textfile.h"
#include "platform/core/ansi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = fuzz::bytes(data, size);
    const QString path = fuzz::scratchFile(QStringLiteral("text.txt"));
    fuzz::writeFile(path, input);
    const QString text = ScriptModule::readTextFile(path);
    if (input.isEmpty() != text.isEmpty()) fuzz::fail("an empty text if and only if an empty file");
    if (!text.isEmpty() && !text.endsWith(QLatin1String("\r\n"))) fuzz::fail("no final CR LF");
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text.at(i) == u'\r' && (i + 1 == text.size() || text.at(i + 1) != u'\n'))
            fuzz::fail("a lone CR read back");

    // Only texts that the ANSI code page carries both ways can come back unchanged.
    if (platform::fromAnsi(platform::toAnsi(text)) != text) return 0;
    const QString copy = fuzz::scratchFile(QStringLiteral("copy.txt"));
    if (!ScriptModule::writeTextFile(copy, text)) fuzz::fail("writeTextFile failed");
    if (ScriptModule::readTextFile(copy) != text + QLatin1String("\r\n"))
        fuzz::fail("a written text did not read back with one CR LF more");
    return 0;
}
