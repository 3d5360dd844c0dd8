// Both base64 decoders on any text, and both codecs' round trip on any bytes.

#include "fuzzsupport.h"
#include "library/base64.h"

using BASE64Module::detail::Alphabet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = fuzz::bytes(data, size);
    const QString latin = QString::fromLatin1(input);
    const QString utf = QString::fromUtf8(input);
    for (Alphabet a : {Alphabet::General, Alphabet::Box}) {
        for (const QString& t : {latin, utf}) {
            const QByteArray decoded = BASE64Module::detail::decodeBytes(t, a);
            qsizetype m = t.indexOf(QLatin1Char('='));
            if (m < 0) m = t.size();
            if (decoded.size() != 3 * m / 4) fuzz::fail("decoded length is not floor(3m/4)");
        }
        const QString encoded = BASE64Module::detail::encodeBytes(input, a);
        if (encoded.size() != 4 * ((input.size() + 2) / 3)) fuzz::fail("encoded length");
        if (BASE64Module::detail::decodeBytes(encoded, a) != input) fuzz::fail("round trip");
    }
    (void)BASE64Module::base64Decode(latin);
    (void)BASE64Module::base64Decode(utf);
    (void)BASE64BoxModule::boxBase64Decode(latin);
    (void)BASE64BoxModule::boxBase64Decode(utf);
    return 0;
}
