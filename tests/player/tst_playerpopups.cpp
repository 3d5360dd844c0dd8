#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <memory>

#include "platform/webbrowser.h"
#include "player/tolvarboxform.h"
#include "support/popupcases.h"
#include "support/popuppages.h"
#include "support/testenv.h"
#include "support/testserver.h"

using platform::BrowserArray;
using platform::WebBrowser;

// The player with pages that write into a window they open without an address.
class PlayerPopUpsTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;
    std::unique_ptr<TestProgramFolder> folder_;
    TolvarBoxForm& form_ = TolvarBoxForm::instance();

    WebBrowser* inUse() const { return form_.host().elementInUse(); }
    QVariant page(const QString& expression) const {
        return inUse() ? inUse()->Document().evaluate(expression) : QVariant();
    }

    bool go(const QString& path) {
        QSignalSpy done(form_.host().array(), &BrowserArray::DocumentComplete);
        form_.control<QLineEdit>(QStringLiteral("urlText"))->setText(server_->url(path));
        form_.control<QPushButton>(QStringLiteral("urlCommand"))->click();
        // A completion still due from the page before may come first.
        for (int seen = 0;; ++seen) {
            while (done.size() <= seen)
                if (!done.wait(15000)) return false;
            if (done.at(seen).at(1).toString() == server_->url(path)) return true;
        }
    }

  private Q_SLOTS:
    void initTestCase() {
        server_ = new TestServer(this);
        servePopUpPages(server_);
        popupCases::servePages(server_);
        folder_ = std::make_unique<TestProgramFolder>(QStringLiteral("zandrel"));
        QVERIFY(writeBytes(folder_->file("site.ini"),
                           "[site]\r\nmainHost=" + server_->base().toLatin1() + "\r\n"));
        form_.registerComponent = [](const QString&) {};
        form_.showSearchWindow = [] {};
        form_.show();
        QVERIFY(form_.isLoaded());
    }

    void cleanupTestCase() {
        if (form_.isLoaded()) form_.close();
    }

    void writtenPopUpShows_data() { POPUP_WRITE_ROWS(); }
    void writtenPopUpShows() {
        QFETCH(QString, call);
        QVERIFY(go("/writer.html"));
        const qint16 before = form_.curBrowserIndex;
        QVERIFY(inUse()->Document().execScript(call).ok);
        QTRY_VERIFY_WITH_TIMEOUT(form_.curBrowserIndex == before + 1 && inUse()->view(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(page("document.getElementById('w').textContent"),
                                  QVariant(QStringLiteral("json")), 15000);
        QCOMPARE(inUse()->LocationURL(), QStringLiteral("about:blank"));
        // The address box keeps the opener's address.
        QCOMPARE(form_.control<QLineEdit>(QStringLiteral("urlText"))->text(),
                 server_->url("/writer.html"));
        QVERIFY(go("/plain.html"));
        QCOMPARE(inUse()->LocationURL(), server_->url("/plain.html"));
        QVERIFY(page("!!document.getElementById('plain')").toBool());
    }

    void popUpPatterns_data() { POPUP_CASE_ROWS(); }
    void popUpPatterns() {
        QFETCH(QString, popUpCase);
        popupCases::Window w;
        w.host = &form_.host();
        w.index = &form_.curBrowserIndex;
        w.server = server_;
        w.go = [this](const QString& path) { return go(path); };
        popupCases::play(popUpCase, w);
    }
};

SUITE_TEST_MAIN(PlayerPopUpsTest)
#include "tst_playerpopups.moc"
