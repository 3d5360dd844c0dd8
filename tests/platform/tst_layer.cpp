#include <QApplication>

#include <QStringDecoder>
#include <QStringEncoder>

#include "platform/core/ansi.h"
#include "platform/core/clock.h"
#include "platform/core/random.h"
#include "platform/dialogs.h"
#include "platform/http.h"
#include "platform/shell.h"
#include "support/testenv.h"
#include "support/testserver.h"

class PlatformLayerTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void randomSequenceIsFixed() {
        platform::resetRandomForTest();
        // x1 = (0x50000 * 0x43FD43FD + 0xC39EC3) mod 2^24, computed by hand.
        const quint32 x1 = (0x50000u * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
        QCOMPARE(platform::rnd(), x1 / 16777216.0);
        platform::resetRandomForTest();
        QList<double> a, b;
        for (int i = 0; i < 100; ++i) a << platform::rnd();
        platform::resetRandomForTest();
        for (int i = 0; i < 100; ++i) b << platform::rnd();
        QCOMPARE(a, b);
        for (double v : a) QVERIFY(v >= 0.0 && v < 1.0);
    }

    void dateTexts_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("morning") << QDateTime(QDate(2026, 12, 10), QTime(8, 3, 56)) << "2026/12/10"
                                 << "8:03:56";
        QTest::newRow("single digits") << QDateTime(QDate(2027, 1, 2), QTime(0, 0, 5)) << "2027/1/2"
                                       << "0:00:05";
        QTest::newRow("evening") << QDateTime(QDate(2026, 3, 31), QTime(23, 59, 59)) << "2026/3/31"
                                 << "23:59:59";
    }
    void dateTexts() {
        QFETCH(QDateTime, when);
        QFETCH(QString, date);
        QFETCH(QString, time);
        platform::setClockForTest(when);
        QCOMPARE(platform::dateText(), date);
        QCOMPARE(platform::timeText(), time);
        QCOMPARE(platform::dateTimeText(), date + " " + time);
        platform::setClockForTest(QDateTime());
        QVERIFY(qAbs(platform::now().secsTo(QDateTime::currentDateTime())) < 5);
    }

    void ansiIsGbk() {
        QCOMPARE(platform::toAnsi(QStringLiteral("a中")), QByteArray("a\xd6\xd0"));
        QCOMPARE(platform::fromAnsi(QByteArray("\xd6\xd0z")), QStringLiteral("中z"));
        // Characters GBK lacks become one "?" each, surrogate pairs included.
        QCOMPARE(platform::toAnsi(QString::fromUtf8("x\xed\x95\x9c\xf0\x9f\x98\x80y")),
                 QByteArray("x??y"));
        QCOMPARE(platform::toAnsi(QString()), QByteArray());
    }

    // Characters the converter would drop without a trace: zero-width and format characters,
    // the byte order mark, variation selectors, tag characters.
    void ignorableCharactersBecomeQuestionMarks_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("zero-width space") << QString::fromUtf16(u"a\u200Bb") << QByteArray("a?b");
        QTest::newRow("byte order mark") << QChar(0xFEFF) + QStringLiteral("x") << QByteArray("?x");
        QTest::newRow("soft hyphen") << QString::fromUtf16(u"co\u00ADop") << QByteArray("co?op");
        QTest::newRow("variation selector")
            << QString::fromUtf16(u"\u4E2D\uFE0F") << QByteArray("\xd6\xd0?");
        QTest::newRow("joiners") << QString::fromUtf16(u"\u200C\u200D") << QByteArray("??");
        QTest::newRow("word joiner at the end")
            << QString::fromUtf16(u"z\u2060") << QByteArray("z?");
        QTest::newRow("tag character") << QString::fromUtf16(u"t\U000E0041t") << QByteArray("t?t");
        QTest::newRow("musical format") << QString::fromUtf16(u"\U0001D173") << QByteArray("?");
    }
    void ignorableCharactersBecomeQuestionMarks() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(platform::toAnsi(text), bytes);
    }

    // No code point vanishes: every one, surrogate halves aside, gives at least one byte.
    void noCodePointIsDropped() {
        QString all;
        all.reserve(0x110000 * 3);
        for (char32_t c = 0; c < 0x110000; ++c) {
            if (c == '\n' || (c >= 0xD800 && c <= 0xDFFF)) continue;
            if (c < 0x10000) {
                all += QChar(char16_t(c));
            } else {
                all += QChar(QChar::highSurrogate(c));
                all += QChar(QChar::lowSurrogate(c));
            }
            all += QLatin1Char('\n');  // never part of a GBK byte pair
        }
        const QByteArray bytes = platform::toAnsi(all);
        const QList<QByteArray> pieces = bytes.split('\n');
        QCOMPARE(pieces.size(), 0x110000 - 1 - 0x800 + 1);
        QList<int> empty;
        for (int i = 0; i + 1 < pieces.size(); ++i)
            if (pieces[i].isEmpty()) empty << i;
        QVERIFY2(empty.isEmpty(),
                 qPrintable(QString::number(empty.size()) + " dropped, the first " +
                            QString::number(empty.value(0), 16)));
    }

    // ASCII runs are copied byte for byte and the other runs converted on their own: the
    // bytes must be those of one conversion of the whole text, at run edges too.
    void ansiRunsConvertAsWhole() {
        QStringEncoder whole("GBK", QStringConverter::Flag::Stateless);
        QStringDecoder back("GBK", QStringConverter::Flag::Stateless);
        const QStringList pieces = {QStringLiteral("a"),
                                    QStringLiteral("中文"),
                                    QStringLiteral(" x=1;\r\n"),
                                    QString::fromUtf8("\xf0\x9f\x98\x80"),
                                    QString::fromUtf8("\xed\x95\x9c"),
                                    QStringLiteral("€"),
                                    QStringLiteral("\t"),
                                    QStringLiteral("页")};
        quint32 seed = 7;
        for (int round = 0; round < 300; ++round) {
            QString text;
            const int count = round % 40;
            for (int k = 0; k < count; ++k) {
                seed = seed * 1103515245u + 12345u;
                text += pieces[(seed >> 16) % pieces.size()];
            }
            const QByteArray expected = whole.encode(text);
            QCOMPARE(platform::toAnsi(text), expected);
            QCOMPARE(platform::fromAnsi(expected), QString(back.decode(expected)));
        }
        const QString big = QStringLiteral("var 中=1;\r\n").repeated(20000);
        QCOMPARE(platform::toAnsi(big), QByteArray(whole.encode(big)));
    }

    // Texts of every kind of piece, lone surrogate halves and characters the converter
    // drops included, give the bytes of the converter itself: the text cut before and after
    // every character it drops, each piece converted whole, and a dropped character given
    // its "?". So a lone high surrogate gives "?" before anything but the end of its piece.
    void ansiGivesTheConvertersBytes() {
        QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
        const QStringList pieces = {QStringLiteral("a"),
                                    QStringLiteral("中"),
                                    QStringLiteral("€"),
                                    QStringLiteral("\n"),
                                    QString::fromUtf16(u"\uD55C"),
                                    QString::fromUtf16(u"\uE000"),
                                    QString(QChar(0xFFFE)),
                                    QString(QChar(0xD800)),
                                    QString(QChar(0xDBFF)),
                                    QString(QChar(0xDC00)),
                                    QString::fromUtf8("\xf0\x9f\x98\x80"),
                                    QString::fromUtf16(u"\u200B"),
                                    QString(QChar(0xFEFF)),
                                    QString::fromUtf16(u"\u00AD"),
                                    QString::fromUtf16(u"\U000E0041")};
        auto dropped = [&](QStringView c) {
            return !(c.size() == 1 && c[0].isSurrogate()) &&
                   QByteArray(encoder.encode(c)).isEmpty();
        };
        auto reference = [&](const QString& text) {
            QByteArray out;
            qsizetype run = 0;
            for (qsizetype i = 0; i < text.size();) {
                const qsizetype width =
                    text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()
                        ? 2
                        : 1;
                if (dropped(QStringView(text).mid(i, width))) {
                    out += QByteArray(encoder.encode(QStringView(text).mid(run, i - run)));
                    out += '?';
                    run = i + width;
                }
                i += width;
            }
            return out + QByteArray(encoder.encode(QStringView(text).mid(run)));
        };
        QVERIFY(dropped(pieces[11]) && dropped(pieces[14]) && !dropped(pieces[1]));
        quint32 seed = 11;
        for (int round = 0; round < 3000; ++round) {
            QString text;
            for (int k = round % 31; k > 0; --k) {
                seed = seed * 1103515245u + 12345u;
                text += pieces[(seed >> 16) % pieces.size()];
            }
            const QByteArray expected = reference(text);
            for (const bool byTable : {false, true}) {
                const QByteArray got = byTable ? platform::detail::tableAnsi(text)
                                               : platform::detail::converterAnsi(text);
                if (got != expected)
                    QFAIL(qPrintable(QString(byTable ? "the table" : "the converter") +
                                     " differs for " +
                                     QString::fromLatin1(text.toUtf8().toHex(' '))));
            }
            QCOMPARE(platform::toAnsi(text), expected);
        }
        // A text long enough to be converted from the table.
        const QString big =
            (pieces.join(QString()) + QStringLiteral("var 中=1;\r\n")).repeated(40000);
        QVERIFY(big.size() > 1 << 20);
        QCOMPARE(platform::toAnsi(big), reference(big));
    }

    // Writers of long texts convert them a character at a time from the table: every
    // character must get the bytes toAnsi gives it, on its own and wherever it stands.
    void ansiTableGivesTheConvertersBytes() {
        const platform::AnsiTable& table = platform::AnsiTable::instance();
        auto text = [](char32_t c) {
            return c < 0x10000 ? QString(QChar(char16_t(c))) : QString::fromUcs4(&c, 1);
        };
        auto bytes = [&table](char32_t c) {
            char buffer[4];
            return QByteArray(buffer, table.put(buffer, c) - buffer);
        };
        int differ = 0;
        char32_t first = 0;
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (QChar::isSurrogate(c)) continue;
            if (bytes(c) != platform::toAnsi(text(c)) && differ++ == 0) first = c;
        }
        QVERIFY2(differ == 0, qPrintable(QString("%1 differ, the first U+%2")
                                             .arg(differ)
                                             .arg(quint32(first), 4, 16, QChar('0'))));

        // Every code point next to its neighbours, between markup, after Chinese and an
        // emoji, and in the reverse order.
        const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80");
        QString inOrder, marked, mixed, reversed;
        QByteArray inOrderBytes, markedBytes, mixedBytes, reversedBytes;
        for (char32_t c = 0; c < 0x110000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) continue;
            const char32_t r = 0x10FFFF - c;
            inOrder += text(c);
            inOrderBytes += bytes(c);
            marked += QLatin1Char('<') + text(c) + QLatin1Char('>');
            markedBytes += '<' + bytes(c) + '>';
            mixed += QStringLiteral("中") + emoji + text(c);
            mixedBytes += "\xd6\xd0?" + bytes(c);
            if (r >= 0xD800 && r <= 0xDFFF) continue;
            reversed += text(r);
            reversedBytes += bytes(r);
        }
        QVERIFY(platform::toAnsi(inOrder) == inOrderBytes);
        QVERIFY(platform::toAnsi(marked) == markedBytes);
        QVERIFY(platform::toAnsi(mixed) == mixedBytes);
        QVERIFY(platform::toAnsi(reversed) == reversedBytes);
    }

    // What a saved character reads back as: itself, or "?" for one GBK lacks (beyond the
    // Basic Multilingual Plane every one, as above). Never a different character, so never
    // markup, a blank or one XML cannot hold.
    void everyCharacterComesBackAsItselfOrQuestionMark() {
        int other = 0;
        char32_t first = 0;
        for (char32_t c = 0x80; c < 0x10000; ++c) {
            if (QChar::isSurrogate(c)) continue;
            const QString text{QChar(char16_t(c))};
            const QString back = platform::fromAnsi(platform::toAnsi(text));
            if (back != text && back != QStringLiteral("?") && other++ == 0) first = c;
        }
        QVERIFY2(other == 0, qPrintable(QString("%1 come back as another character, the first "
                                                "U+%2")
                                            .arg(other)
                                            .arg(quint32(first), 4, 16, QChar('0'))));
    }

    void dialogsAreAnsweredAndRecorded() {
        platform::clearShownDialogs();
        platform::queueMessageAnswer(platform::MsgAnswer::No);
        QCOMPARE(platform::messageBox("删除?", platform::MsgButtons::YesNo),
                 platform::MsgAnswer::No);
        // Nothing queued: the first button.
        QCOMPARE(platform::messageBox("好", platform::MsgButtons::OkCancel, "标题"),
                 platform::MsgAnswer::Ok);
        platform::queueInputAnswer("新分类");
        QCOMPARE(platform::inputBox("名称", "新建", "默认"), QStringLiteral("新分类"));
        QCOMPARE(platform::inputBox("名称", "新建", "默认"), QStringLiteral("默认"));
        QCOMPARE(platform::openFileDialog("打开", "图片|*.bmp;*.jpg"), QString());
        const auto shown = platform::shownDialogs();
        QCOMPARE(shown.size(), 5);
        QCOMPARE(shown[0].title, QStringLiteral("提示"));
        QCOMPARE(shown[0].text, QStringLiteral("删除?"));
        QCOMPARE(shown[0].answer, QStringLiteral("No"));
        QCOMPARE(shown[1].title, QStringLiteral("标题"));
        QCOMPARE(shown[4].kind, platform::DialogKind::OpenFile);
    }

    void httpGetAndPost() {
        TestServer server;
        server.page("/a.txt", "line1\r\nline2\r\n", "text/plain");
        server.route("/post", [](const TestServer::Request& r) {
            TestServer::Response res;
            res.body = "got:" + r.body;
            return res;
        });
        const auto get = platform::httpGet(server.url("/a.txt?d=2026/12/10 8:03:56"));
        QVERIFY(get.complete);
        QCOMPARE(get.body, QByteArray("line1\r\nline2\r\n"));
        QCOMPARE(server.requests().last().query, QByteArray("d=2026/12/10%208:03:56"));
        // An error page is a whole reply too.
        const auto missing = platform::httpGet(server.url("/none"));
        QVERIFY(missing.complete);
        QCOMPARE(missing.status, 404);
        const auto post = platform::httpPost(server.url("/post"), "a=1&b=2",
                                             "Content-Type: application/x-www-form-urlencoded");
        QCOMPARE(post.body, QByteArray("got:a=1&b=2"));
        QCOMPARE(server.requests().last().headers.value("content-type"),
                 QByteArray("application/x-www-form-urlencoded"));
    }

    void httpIsBounded() {
        TestServer server;
        server.route("/slow", [](const TestServer::Request&) {
            TestServer::Response r;
            r.delayMs = 5000;
            return r;
        });
        QElapsedTimer t;
        t.start();
        const auto reply = platform::httpGet(server.url("/slow"), 300);
        QVERIFY(!reply.complete);
        QVERIFY(t.elapsed() < 3000);
        // Nothing listens on port 9 of loopback: refused at once.
        QVERIFY(!platform::httpGet("http://127.0.0.1:9/x", 2000).complete);
        QVERIFY(!platform::httpGet("not an address").complete);
    }

    // A request that fails says why, so that the windows can tell "no network" from "the
    // site does not answer" from an answer that holds nothing.
    void httpFailureSaysWhy_data() {
        QTest::addColumn<QString>("path");  // on the test server, or a whole address
        QTest::addColumn<bool>("post");
        QTest::addColumn<int>("failure");
        using F = platform::HttpFailure;
        for (bool post : {false, true}) {
            const char* how = post ? "POST" : "GET";
            QTest::addRow("%s answered", how) << "/ok" << post << int(F::None);
            QTest::addRow("%s error page", how) << "/none" << post << int(F::None);
            QTest::addRow("%s dead port", how)
                << "http://127.0.0.1:9/x" << post << int(F::NoConnection);
            QTest::addRow("%s no such host", how)
                << "http://no-such-host.invalid/x" << post << int(F::NoConnection);
            QTest::addRow("%s never answers", how) << "/slow" << post << int(F::NoAnswer);
            QTest::addRow("%s hangs up", how) << "/drop" << post << int(F::NoAnswer);
        }
    }
    void httpFailureSaysWhy() {
        QFETCH(QString, path);
        QFETCH(bool, post);
        QFETCH(int, failure);
        TestServer server;
        server.page("/ok", "fine", "text/plain");
        server.route("/slow", [](const TestServer::Request&) {
            TestServer::Response r;
            r.delayMs = 5000;
            return r;
        });
        server.route("/drop", [](const TestServer::Request&) {
            TestServer::Response r;
            r.drop = true;
            return r;
        });
        const QString address = path.startsWith('/') ? server.url(path) : path;
        const platform::HttpReply reply = post ? platform::httpPost(address, "a=1", QString(), 1500)
                                               : platform::httpGet(address, 1500);
        QCOMPARE(int(reply.failure), failure);
        QCOMPARE(reply.complete, failure == int(platform::HttpFailure::None));
    }

    void downloadWebAndLocal() {
        TestServer server;
        server.page("/pic.gif", "GIF89a-bytes", "image/gif");
        TestProgramFolder folder;
        const QString target = folder.file("tmppp");
        QVERIFY(platform::downloadToFile(server.url("/pic.gif"), target));
        QCOMPARE(readBytes(target), QByteArray("GIF89a-bytes"));
        QFile::remove(target);
        QVERIFY(!platform::downloadToFile(server.url("/missing.gif"), target));
        QVERIFY(!QFile::exists(target));
        const QString local = folder.file("src.bin");
        writeBytes(local, QByteArray("\x00\x01local", 7));
        QVERIFY(platform::downloadToFile(local, target));
        QCOMPARE(readBytes(target), QByteArray("\x00\x01local", 7));
        QVERIFY(!platform::downloadToFile(folder.file("nothing.bin"), folder.file("t2")));
        QVERIFY(!QFile::exists(folder.file("t2")));
    }

    void webAddresses_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("web");
        QTest::newRow("http") << "http://www.example.com/a?b=1" << true;
        QTest::newRow("HTTPS") << "HTTPS://example.com" << true;
        QTest::newRow("port") << "http://127.0.0.1:8080/" << true;
        QTest::newRow("leading blank") << " http://example.com/" << false;
        QTest::newRow("no host") << "http:///a" << false;
        QTest::newRow("bare http") << "http://" << false;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("FILE") << "FILE:///etc/passwd" << false;
        QTest::newRow("script") << "JavaScript:alert(1)" << false;
        QTest::newRow("data") << "data:text/html,<b>x</b>" << false;
        QTest::newRow("view-source") << "view-source:http://example.com/" << false;
        QTest::newRow("about") << "about:blank" << false;
        QTest::newRow("no scheme") << "www.example.com" << false;
        QTest::newRow("empty") << "" << false;
    }
    void webAddresses() {
        QFETCH(QString, address);
        QFETCH(bool, web);
        QCOMPARE(platform::isWebAddress(address), web);
    }
};

SUITE_TEST_MAIN(PlatformLayerTest)
#include "tst_layer.moc"
