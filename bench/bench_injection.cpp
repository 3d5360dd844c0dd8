// Page injection as the user sees it, for the player's skin dressing and the debugger's whole
// document-complete handling (plug-in tags, skin, board, code, analysis panel, bug.log): from
// the page's load event to the first frame that shows the board, by the page's own clock. The
// peer is the same style, div and script elements and code put in with one runJavaScript call
// from the same event, measured in the same run, alternating with the routine. Frames come
// every 16.7 ms, so one run's figure is a whole number of frames after the injection: the
// table gives the 10 % trimmed mean over the runs (their phases against the frame clock
// differ), and the whole distribution is printed beside it.
//
// Then a box of 10 MB put into a loaded page by the player, from the call to the page having
// run its code, against one runJavaScript call that carries the same parts.
//
//     bench_injection [runs]

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTimer>
#include <QWebEnginePage>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "library/base64.h"
#include "library/board.h"
#include "library/boxfile.h"
#include "library/plugins.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "library/xmldocument.h"
#include "livepage/debugwndform.h"
#include "livepage/pageinjection.h"
#include "platform/core/programfolder.h"
#include "platform/webbrowser.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/mainwndform.h"
#include "workbench/scripteditpanel.h"
#include "workbench/scriptwndform.h"

using platform::PageResult;
using platform::WebBrowser;

namespace {

const QString kBoard = QStringLiteral(
    "<list style=\"default\">"
    "<item><id>b1</id><show>开始</show><click>step(1)</click><style>tvButton</style></item>"
    "<line/>"
    "<enter><id>e1</id><show>关键字</show><style>tvEnter</style></enter>"
    "<item><id>b2</id><show>停止</show><click>step(2)</click><style>tvButton</style></item>"
    "<label><id>l1</id><show>状态</show><style>tvLabel</style></label>"
    "</list>");

QString makeCode() {
    QString code;
    for (int i = 0; i < 40; ++i)
        code += QStringLiteral(
                    "function step%1(n){var e=document.getElementById('b1');"
                    "if(e){e.title='第'+n+'步';}return n+%1;}\r\n")
                    .arg(i);
    return code + QStringLiteral("window.__ran=(window.__ran||0)+1;\r\n");
}

// Code of the size a 10 MB box carries (the box holds it base64-encoded twice).
QString makeBigCode() {
    QString code;
    for (int i = 0; code.size() < 5'500'000; ++i)
        code += QStringLiteral(
                    "function big%1(n){var e=document.getElementById('b1');"
                    "if(e){e.title='第'+n+'步，共'+%1+'步';}return n*%1;}\r\n")
                    .arg(i);
    return code + QStringLiteral("window.__ran=(window.__ran||0)+1;\r\n");
}

QByteArray makePage() {
    QByteArray body;
    for (int i = 0; i < 200; ++i)
        body += "<p class=\"row\">row " + QByteArray::number(i) + " <a href=\"#a" +
                QByteArray::number(i) + "\">link</a></p>";
    return "<html><head><title>t</title><style>p{margin:2px}</style></head><body>" + body +
           "</body></html>";
}

QString jsString(const QString& s) {
    QString out = QStringLiteral("'");
    for (const QChar c : s) {
        switch (c.unicode()) {
            case '\\':
                out += QStringLiteral("\\\\");
                break;
            case '\'':
                out += QStringLiteral("\\'");
                break;
            case '\r':
                out += QStringLiteral("\\r");
                break;
            case '\n':
                out += QStringLiteral("\\n");
                break;
            case '<':
                out += QStringLiteral("\\x3c");
                break;
            case 0x2028:
                out += QStringLiteral("\\u2028");
                break;
            case 0x2029:
                out += QStringLiteral("\\u2029");
                break;
            default:
                out += c;
        }
    }
    return out + QLatin1Char('\'');
}

// The peer's calls for the style, div and script children of an XML root.
QString peerParts(const QString& xmlText, bool encodedScripts) {
    XmlDocument doc;
    if (!doc.loadXML(xmlText)) return {};
    const XmlNode root = doc.childNodes().item(0);
    QString out;
    for (XmlNode c = root.firstChild(); !c.isNull(); c = c.nextSibling()) {
        const QString name = c.baseName();
        if (name == QLatin1String("style")) {
            out += QStringLiteral("st(%1);").arg(jsString(c.nodeTypedValue()));
        } else if (name == QLatin1String("div")) {
            QString html;
            for (XmlNode k = c.firstChild(); !k.isNull(); k = k.nextSibling())
                html += skinModule::detail::htmlMarkup(k);
            out += QStringLiteral("dv(%1,%2,%3);")
                       .arg(jsString(c.getAttribute(QStringLiteral("id"))),
                            jsString(c.getAttribute(QStringLiteral("class"))), jsString(html));
        } else if (name == QLatin1String("script")) {
            const QString text = encodedScripts ? BASE64Module::base64Decode(c.text()) : c.text();
            out += QStringLiteral("sc(%1);").arg(jsString(text));
        }
    }
    return out;
}

QString peerSource(const QStringList& pluginSources, const QString& skin, const XmlNode& board,
                   const QString& code, const QString& panel) {
    QString out = QStringLiteral(
        "(function(){var d=document,h=d.head,b=d.body;"
        "function st(c){var e=d.createElement('style');e.type='text/css';e.textContent=c;"
        "h.appendChild(e);}"
        "function dv(i,k,x){var e=d.createElement('div');e.id=i;e.className=k;e.innerHTML=x;"
        "b.appendChild(e);}"
        "function sc(t){var e=d.createElement('script');e.setAttribute('language','javascript');"
        "e.text=t;b.appendChild(e);}"
        "function src(u){var e=d.createElement('script');"
        "e.setAttribute('language','javascript');e.src=u;h.appendChild(e);}");
    for (const QString& s : pluginSources) out += QStringLiteral("src(%1);").arg(jsString(s));
    QString skinText = skin;
    skinText.replace(QStringLiteral("$BoardTemplate$"), skinModule::buildBoardHtml(board));
    out += peerParts(skinText, false);
    out += QStringLiteral("sc(%1);").arg(jsString(code));
    if (!panel.isEmpty()) out += peerParts(panel, true);
    return out + QStringLiteral("})();");
}

double median(QList<double> v) {
    if (v.isEmpty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The mean of the values left when the lowest and highest tenth are dropped.
double trimmedMean(QList<double> v) {
    if (v.isEmpty()) return -1;
    std::sort(v.begin(), v.end());
    const qsizetype cut = v.size() / 10;
    double sum = 0;
    for (qsizetype i = cut; i < v.size() - cut; ++i) sum += v[i];
    return sum / double(v.size() - 2 * cut);
}

double quantile(const QList<double>& sorted, double q) {
    return sorted[qMin(sorted.size() - 1, qsizetype(q * double(sorted.size())))];
}

// One line per side: the spread of the runs and, for figures counted to a frame, how many
// runs fell in each frame after the load event (f0 the first).
void distribution(const char* what, QList<double> v, bool inFrames = true) {
    if (v.isEmpty()) {
        std::printf("DIST %s: no runs\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    std::printf("DIST %-40s n=%lld min %.1f p25 %.1f median %.1f p75 %.1f max %.1f mean %.1f |",
                what, static_cast<long long>(v.size()), v.first(), quantile(v, 0.25),
                quantile(v, 0.5), quantile(v, 0.75), v.last(), trimmedMean(v));
    QMap<int, int> frames;
    if (inFrames)
        for (const double ms : v) ++frames[int(ms / (1000.0 / 60.0))];
    for (auto it = frames.cbegin(); it != frames.cend(); ++it)
        std::printf(" f%d:%d", it.key(), it.value());
    std::printf("\n");
    std::fflush(stdout);
}

struct Shown {
    double frame = -1;   // the load event's end to the first frame that shows the board
    double inPage = -1;  // the load event's end to the board in the document, to the frame
};

// Loads the page in browser and gives, by the page's own clock, the times from the end of its
// load event to the board in the document and to the first frame that shows it. inject is
// called from the browser's DocumentComplete (after any handler connected before it). The
// page's clock leaves out how late the engine's signals reach this program, which is not the
// injection's doing.
Shown timeOnce(WebBrowser* browser, const QString& url, const std::function<void()>& inject) {
    static int frame = 0;
    const QString mark = QStringLiteral("frame%1").arg(++frame);
    QWebEnginePage* page = browser->page();
    bool loaded = false, shown = false;
    QEventLoop loop;
    QList<QMetaObject::Connection> links;
    links << QObject::connect(page, &QWebEnginePage::loadFinished, &loop, [&](bool) {
        if (loaded) return;
        loaded = true;
        // Frame by frame the page looks for the board's first button; the first frame that
        // has it shows the board. Asked as soon as the page is loaded, before any handler
        // runs, the same way for the routine and the peer.
        // The board's arrival in the document is noted as the work that put it there ends.
        page->runJavaScript(
            QStringLiteral("(function(){function since(){return performance.now()-"
                           "(performance.timing.loadEventEnd-performance.timeOrigin);}"
                           "var o=new MutationObserver(function(){"
                           "if(document.getElementById('b1')){window.__inPageAfterLoad=since();"
                           "o.disconnect();}});"
                           "o.observe(document,{childList:true,subtree:true});"
                           "function f(){if(document.getElementById('b1')){"
                           "window.__shownAfterLoad=since();"
                           "document.title=%1;}else requestAnimationFrame(f);}"
                           "requestAnimationFrame(f);})();")
                .arg(jsString(mark)));
    });
    links << QObject::connect(browser, &WebBrowser::DocumentComplete, &loop, [&] {
        if (loaded) inject();
    });
    links << QObject::connect(page, &QWebEnginePage::titleChanged, &loop,
                              [&](const QString& title) {
                                  if (title != mark || shown) return;
                                  shown = true;
                                  loop.quit();
                              });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    browser->Navigate(url);
    loop.exec();
    for (const auto& l : links) QObject::disconnect(l);
    Shown times;
    if (!shown) return times;
    QEventLoop answer;
    page->runJavaScript(QStringLiteral("[window.__shownAfterLoad,window.__inPageAfterLoad]"),
                        [&](const QVariant& v) {
                            const QVariantList both = v.toList();
                            times.frame = both.value(0, -1).toDouble();
                            times.inPage = both.value(1, -1).toDouble();
                            answer.quit();
                        });
    QTimer::singleShot(5000, &answer, &QEventLoop::quit);
    answer.exec();
    return times;
}

// Runs of one side: the figures of every run that showed the board.
struct Runs {
    QList<double> frame, inPage;
    void add(const Shown& s) {
        if (s.frame < 0) return;
        frame << s.frame;
        if (s.inPage >= 0) inPage << s.inPage;
    }
};

void line(const char* what, double measured, double peer, const char* goal) {
    std::printf("BENCH %s | %.1f | %.1f | %s\n", what, measured, peer, goal);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    prepareTestEnvironment();
    QApplication app(argc, argv);
    finishTestEnvironment();
    const int runs = argc >= 2 ? qMax(3, QString(argv[1]).toInt()) : 40;

    TestServer server;
    server.page("/page.html", makePage());
    for (const char* name : {"jq", "util"})
        server.page(QByteArray("/p/") + name + ".js", "window.p=1;", "application/javascript");
    const QString url = server.url(QStringLiteral("/page.html"));

    TestProgramFolder folder(QStringLiteral("velmora"));
    writeBytes(folder.file("site.ini"),
               "[site]\r\nforumHost=http://127.0.0.1:1\r\nmainHost=http://127.0.0.1:1\r\n"
               "requestTimeoutMs=500\r\n");
    const QString skin = ScriptModule::readTextFile(folder.file("css/default.skin"));
    const QString panel = ScriptModule::readTextFile(folder.file("Brannet.dll"));
    const QString code = makeCode();
    XmlDocument boardDoc;
    boardDoc.loadXML(kBoard);
    const XmlNode board = boardDoc.documentElement();

    // ---- player: the skin dressing of a matching page
    {
        auto* routine = new WebBrowser;
        auto* peer = new WebBrowser;
        for (WebBrowser* b : {routine, peer}) {
            b->resize(800, 600);
            b->show();
        }
        const QString peerJs = peerSource({}, skin, board, code, QString());
        Runs mine, theirs;
        for (int i = 0; i < runs + 2; ++i) {
            const Shown a = timeOnce(routine, url, [&] {
                skinModule::applySkinAndRunScript(routine->DocumentOnFirstCall(), skin, board,
                                                  code);
            });
            const Shown b = timeOnce(peer, url, [&] { peer->page()->runJavaScript(peerJs); });
            if (i < 2) continue;  // warm-up
            mine.add(a);
            theirs.add(b);
        }
        distribution("player injection", mine.frame);
        distribution("player peer", theirs.frame);
        distribution("player injection, board in the page", mine.inPage, false);
        distribution("player peer, board in the page", theirs.inPage, false);
        line("player injection: page loaded to board shown (trimmed mean)", trimmedMean(mine.frame),
             trimmedMean(theirs.frame), "<= 1.2 x peer (one runJavaScript)");
        delete routine;
        delete peer;
    }

    // ---- debugger: the whole document-complete handling
    {
        MainWndForm::instance().setQuitOnClose(false);
        MainWndForm::instance().rndFlagStr = MainWndForm::instance().emailname(8);
        ScriptModule::setPluginCollection(
            {"jq=" + server.url("/p/jq.js"), "util=" + server.url("/p/util.js")});
        ScriptModule::clearScriptDocument();
        ScriptDocument& doc = ScriptModule::scriptDocument();
        doc.script = code;
        doc.include = {"jq", "util"};
        XmlDocument xml;
        xml.loadXML(kBoard);
        doc.list = xml.documentElement();
        ScriptWndForm::instance().reLoadData();
        const QString editorCode = ScriptWndForm::instance().scriptEdit()->getScriptText();

        DebugWndForm& form = DebugWndForm::instance();
        form.show();
        QTest::qWait(500);
        WebBrowser* routine = form.host().elementInUse();
        auto* peer = new WebBrowser;
        peer->resize(routine->size());
        peer->show();
        const QString peerJs = peerSource({server.url("/p/jq.js"), server.url("/p/util.js")}, skin,
                                          board, editorCode, panel);
        Runs mine, theirs;
        for (int i = 0; i < runs + 2; ++i) {
            const Shown a = timeOnce(routine, url, [] {});
            const Shown b = timeOnce(peer, url, [&] { peer->page()->runJavaScript(peerJs); });
            if (i < 2) continue;
            mine.add(a);
            theirs.add(b);
        }
        distribution("debugger injection", mine.frame);
        distribution("debugger peer", theirs.frame);
        distribution("debugger injection, board in the page", mine.inPage, false);
        distribution("debugger peer, board in the page", theirs.inPage, false);
        line("debugger injection: page loaded to board shown (trimmed mean)",
             trimmedMean(mine.frame), trimmedMean(theirs.frame),
             "<= 1.3 x peer (one runJavaScript)");
        delete peer;
        form.close();
        ScriptWndForm::instance().close();
    }

    // ---- a 10 MB box put into a page by the player
    {
        TestProgramFolder boxFolder(QStringLiteral("zandrel"));
        ScriptModule::clearScriptDocument();
        ScriptDocument& doc = ScriptModule::scriptDocument();
        doc.name = QStringLiteral("大盒子");
        doc.script = makeBigCode();
        doc.target = {QStringLiteral("/page.html")};
        XmlDocument xml;
        xml.loadXML(kBoard);
        doc.list = xml.documentElement();
        const QString scriptPath = boxFolder.file("big.txt");
        const QString skinPath = boxFolder.file("big.skin");
        ScriptModule::saveScriptFile(scriptPath);
        ScriptModule::writeTextFile(skinPath, skin);
        BoxFile::writeBox(skinPath, scriptPath, boxFolder.file("big.tvb"));
        QString boxSkin, boxScript;
        if (!BoxScript::openBox(QStringLiteral("big.tvb"), boxSkin, boxScript)) {
            std::printf("(the big box does not open)\n");
            return 1;
        }
        const ScriptDocument& box = ScriptModule::scriptDocument();
        const QString peerJs = peerSource({}, boxSkin, box.list, box.script, QString());

        auto* browser = new WebBrowser;
        browser->resize(800, 600);
        browser->show();
        auto load = [&] {
            QSignalSpy done(browser, &WebBrowser::DocumentComplete);
            browser->Navigate(url);
            return done.wait(20000);
        };
        auto ran = [&] {
            PageResult r;
            return browser->Document().evaluate(QStringLiteral("window.__ran"), &r).toInt() == 1;
        };
        QList<double> mine, theirs;
        const int bigRuns = qMax(5, runs / 4);
        for (int i = 0; i < bigRuns + 1; ++i) {
            QElapsedTimer clock;
            double a = -1, b = -1;
            if (load()) {
                clock.start();
                skinModule::applySkinAndRunScript(browser->DocumentOnFirstCall(), boxSkin, box.list,
                                                  box.script);
                a = double(clock.nsecsElapsed()) / 1e6;
                if (!ran()) a = -1;
            }
            if (load()) {
                auto answered = std::make_shared<bool>(false);
                QEventLoop wait;
                clock.start();
                browser->page()->runJavaScript(peerJs, [answered, &wait](const QVariant&) {
                    *answered = true;
                    wait.quit();
                });
                QTimer::singleShot(20000, &wait, &QEventLoop::quit);
                if (!*answered) wait.exec();
                b = double(clock.nsecsElapsed()) / 1e6;
                if (!*answered || !ran()) b = -1;
            }
            if (i < 1) continue;  // warm-up
            if (a >= 0) mine << a;
            if (b >= 0) theirs << b;
        }
        delete browser;
        const double boxMb = double(QFileInfo(boxFolder.file("big.tvb")).size()) / 1e6;
        distribution("big box injection", mine, false);
        distribution("big box peer", theirs, false);
        std::printf(
            "BENCH player: a %.1f MB box put into a page (median) | %.1f | %.1f | <= 1.2 x peer "
            "(one runJavaScript)\n",
            boxMb, median(mine), median(theirs));
        std::fflush(stdout);
    }
    return 0;
}
