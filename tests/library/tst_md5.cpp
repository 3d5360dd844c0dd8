#include <QApplication>
#include <QCryptographicHash>

#include "library/md5.h"
#include "platform/core/ansi.h"
#include "platform/core/random.h"
#include "support/testenv.h"

using MD5Module::md5Hex;

class Md5Test : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // The RFC 1321 test suite, then lengths around the block and padding boundaries: 56
    // bytes and more push the end marker and bit length into an extra block.
    void knownDigests_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("digest");
        QTest::newRow("empty") << QString() << "D41D8CD98F00B204E9800998ECF8427E";
        QTest::newRow("a") << "a"
                           << "0CC175B9C0F1B6A831C399E269772661";
        QTest::newRow("abc") << "abc"
                             << "900150983CD24FB0D6963F7D28E17F72";
        QTest::newRow("message digest") << "message digest"
                                        << "F96B697D7CB7938D525A2F31AAF161D0";
        QTest::newRow("alphabet") << "abcdefghijklmnopqrstuvwxyz"
                                  << "C3FCD3D76192E4007DFB496CCA67E13B";
        QTest::newRow("alnum 62")
            << "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
            << "D174AB98D277D9F5A5611C2C9F419D9F";
        QTest::newRow("digits 80")
            << QString("1234567890").repeated(8) << "57EDF4A22BE3C955AC49DA2E2107B67A";
        QTest::newRow("55 bytes") << QString(55, 'a') << "EF1772B6DFF9A122358552954AD0DF65";
        QTest::newRow("56 bytes") << QString(56, 'a') << "3B0C8AC703F828B04C6C197006D17218";
        QTest::newRow("63 bytes") << QString(63, 'a') << "B06521F39153D618550606BE297466D5";
        QTest::newRow("64 bytes") << QString(64, 'a') << "014842D480B571495A4A0363793F7367";
        QTest::newRow("65 bytes") << QString(65, 'a') << "C743A45E0D2E6A95CB859ADAE0248435";
        QTest::newRow("119 bytes") << QString(119, 'x') << "AB347A5F68C8A443CFCDDC633F12C24F";
        QTest::newRow("120 bytes") << QString(120, 'x') << "FB98667F98096DE92620B64F46E1C5B5";
        QTest::newRow("time of day") << "8:03:56"
                                     << "FFF2A335BF78F168453ECC3DE325D276";
        // GBK D6 D0 CE C4, not the UTF-8 form (whose digest is A7BAC223...).
        QTest::newRow("chinese over GBK")
            << QStringLiteral("中文") << "BCCE109775E8E1972E9F5FCDA3E12895";
    }
    void knownDigests() {
        QFETCH(QString, text);
        QFETCH(QString, digest);
        QCOMPARE(md5Hex(text), digest);
        QCOMPARE(md5Hex(text), digest);  // nothing carries over from one call to the next
    }

    // Texts of every length up to a few blocks and one long text, mixed ASCII and Chinese,
    // against Qt's digest of the same ANSI bytes.
    void agreesWithQtDigest() {
        platform::resetRandomForTest();
        QStringList texts;
        for (int length = 0; length < 300; ++length) {
            QString text;
            for (int i = 0; i < length; ++i)
                text += platform::rnd() < 0.3 ? QChar(0x4E00 + int(platform::rnd() * 0x5000))
                                              : QChar(32 + int(platform::rnd() * 95));
            texts << text;
        }
        texts << QStringLiteral("长文本 long text ").repeated(5000);  // far beyond 32,767 bytes
        for (const QString& text : texts) {
            const QByteArray expected =
                QCryptographicHash::hash(platform::toAnsi(text), QCryptographicHash::Md5)
                    .toHex()
                    .toUpper();
            QCOMPARE(md5Hex(text), QString::fromLatin1(expected));
        }
    }

    void digitsAreUpperCaseHex() {
        const QString digest = md5Hex(QStringLiteral("提示~!"));
        QCOMPARE(digest.size(), 32);
        for (QChar c : digest) QVERIFY((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
    }
};

SUITE_TEST_MAIN(Md5Test)
#include "tst_md5.moc"
