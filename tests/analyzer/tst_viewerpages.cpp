#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

#include "analyzer/analysiswndform.h"
#include "analyzer/nodewndform.h"
#include "platform/dialogs.h"
#include "platform/webbrowser.h"
#include "support/popupcases.h"
#include "support/popuppages.h"
#include "support/testenv.h"
#include "support/testserver.h"

using platform::WebBrowser;

// The page viewer with pages that write into a window they open without an address.
class ViewerPagesTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;
    analysisWndForm& viewer_ = analysisWndForm::instance();
    nodeWndForm& nodes_ = nodeWndForm::instance();

    WebBrowser* inUse() const { return viewer_.elementInUse(); }
    QString status() const { return nodes_.control<QLabel>(QStringLiteral("Label2"))->text(); }
    QVariant page(const QString& expression) const {
        return inUse() ? inUse()->Document().evaluate(expression) : QVariant();
    }

    bool go(const QString& path) {
        auto* address = viewer_.control<QLineEdit>(QStringLiteral("Text1"));
        address->setText(server_->url(path));
        QTest::keyClick(address, Qt::Key_Return);
        // Waits in an event loop of its own: the page's answer comes from the test's server.
        QSignalSpy done(viewer_.analysisWB(), &platform::BrowserArray::DocumentComplete);
        for (int waits = 0; waits < 50; ++waits) {
            if (status() == nodeWndForm::completeText() &&
                inUse()->LocationURL() == server_->url(path))
                return true;
            done.wait(300);
        }
        return false;
    }

  private Q_SLOTS:
    void initTestCase() {
        server_ = new TestServer(this);
        servePopUpPages(server_);
        popupCases::servePages(server_);
        server_->page("/file.bin", QByteArray(64, 'x'), "application/octet-stream");
        viewer_.show();
        QVERIFY(viewer_.isLoaded());
    }

    void cleanupTestCase() {
        viewer_.close();
        nodes_.close();
    }

    void writtenPopUpShows_data() { POPUP_WRITE_ROWS(); }
    void writtenPopUpShows() {
        QFETCH(QString, call);
        QVERIFY(go("/writer.html"));
        const qint16 before = viewer_.webIndex;
        QVERIFY(inUse()->Document().execScript(call).ok);
        QTRY_VERIFY_WITH_TIMEOUT(viewer_.webIndex == before + 1 && inUse()->view(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(page("document.getElementById('w').textContent"),
                                  QVariant(QStringLiteral("json")), 15000);
        QCOMPARE(inUse()->LocationURL(), QStringLiteral("about:blank"));
        // The page viewer's address box shows where the page in use is.
        QTRY_COMPARE(viewer_.control<QLineEdit>(QStringLiteral("Text1"))->text(),
                     QStringLiteral("about:blank"));
        // The tree of the written window is there to be had.
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        auto* tree = nodes_.control<QTreeWidget>(QStringLiteral("nodeTV"));
        QCOMPARE(tree->topLevelItemCount(), 1);
        QVERIFY(
            !tree->findItems(QStringLiteral("P"), Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
        QVERIFY(go("/plain.html"));
        QCOMPARE(inUse()->LocationURL(), server_->url("/plain.html"));
    }

    void popUpPatterns_data() { POPUP_CASE_ROWS(); }
    void popUpPatterns() {
        QFETCH(QString, popUpCase);
        popupCases::Window w;
        w.host = &viewer_.host();
        w.index = &viewer_.webIndex;
        w.server = server_;
        w.go = [this](const QString& path) { return go(path); };
        popupCases::play(popUpCase, w);
    }

    // An address the engine refuses, or one that answers with a file (not saved here), leaves
    // the page as it was: the status says so, and the tree is there to be had.
    void navigationWithoutDocumentEndsComplete_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("initial text") << QStringLiteral("http://");
        QTest::newRow("no host") << QStringLiteral("http:///");
        QTest::newRow("a file") << server_->url("/file.bin");
    }
    void navigationWithoutDocumentEndsComplete() {
        QFETCH(QString, address);
        QVERIFY(go("/plain.html"));
        auto* box = viewer_.control<QLineEdit>(QStringLiteral("Text1"));
        box->setText(address);
        platform::clearShownDialogs();
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(status(), nodeWndForm::loadingText());
        QTRY_COMPARE_WITH_TIMEOUT(status(), nodeWndForm::completeText(), 15000);
        QCOMPARE(inUse()->LocationURL(), server_->url("/plain.html"));
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        for (const platform::ShownDialog& d : platform::shownDialogs())
            QVERIFY2(d.kind != platform::DialogKind::Message, qPrintable(d.text));
        auto* tree = nodes_.control<QTreeWidget>(QStringLiteral("nodeTV"));
        QVERIFY(
            !tree->findItems(QStringLiteral("P"), Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
    }

    // A page stuck in an endless script: a new address is taken at once.
    void newAddressLeavesAStuckPage() {
        QVERIFY(go("/hang.html"));
        QTest::qWait(600);  // looping now
        QVERIFY(go("/plain.html"));
        QCOMPARE(page("document.getElementById('plain').textContent"),
                 QVariant(QStringLiteral("plain")));
    }
};

SUITE_TEST_MAIN(ViewerPagesTest)
#include "tst_viewerpages.moc"
