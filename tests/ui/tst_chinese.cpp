// The programs speak Chinese throughout: Qt's own dialogs and the engine's own pages too, and
// every site is asked for its Chinese pages.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <functional>
#include <memory>

#include "analyzer/analysiswndform.h"
#include "livepage/browserhost.h"
#include "livepage/debugwndform.h"
#include "livepage/recordwndform.h"
#include "platform/appinit.h"
#include "platform/core/programfolder.h"
#include "platform/dialogs.h"
#include "platform/pagedocument.h"
#include "platform/webbrowser.h"
#include "player/tolvarboxform.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/makeboxform.h"

namespace {

// The texts a dialog shows: its buttons' captions and its labels' texts.
struct DialogTexts {
    QString className;
    QStringList buttons;
    QStringList labels;
};

DialogTexts textsOf(QWidget* dialog) {
    DialogTexts t;
    t.className = QString::fromLatin1(dialog->metaObject()->className());
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
        if (b->isVisible() && !b->text().isEmpty()) t.buttons << b->text();
    for (QLabel* l : dialog->findChildren<QLabel*>())
        if (l->isVisible() && !l->text().isEmpty()) t.labels << l->text();
    return t;
}

// Runs open(), which shows a modal dialog on screen, reads the dialog's texts and closes it.
DialogTexts readModalDialog(const std::function<void()>& open) {
    auto seen = std::make_shared<DialogTexts>();
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [seen, poll] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (!dialog || !dialog->isVisible()) return;
        QCoreApplication::processEvents();
        *seen = textsOf(dialog);
        poll->stop();
        dialog->reject();
    });
    poll->start();
    platform::setDialogsAutomatic(false);
    open();
    platform::setDialogsAutomatic(true);
    delete poll;
    return *seen;
}

bool anyContains(const QStringList& texts, const QString& part) {
    for (const QString& t : texts)
        if (t.contains(part)) return true;
    return false;
}

QString pageText(platform::WebBrowser* wb) {
    auto text = std::make_shared<QString>();
    auto done = std::make_shared<bool>(false);
    wb->page()->toPlainText([text, done](const QString& t) {
        *text = t;
        *done = true;
    });
    if (!QTest::qWaitFor([done] { return *done; }, 10000)) return QString();
    return *text;
}

}  // namespace

class ChineseTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;

  private Q_SLOTS:
    void initTestCase() {
        server_ = new TestServer(this);
        server_->page("/hello.html", "<html><body>hello</body></html>");
    }

    void qtTranslationsAreShipped() {
        // The set-up installs Qt's Chinese translations; the programs load both catalogues.
        const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        QVERIFY2(QFile::exists(dir + "/qtbase_zh_CN.qm"), qPrintable(dir));
        QVERIFY2(QFile::exists(dir + "/qtwebengine_zh_CN.qm"), qPrintable(dir));
        QCOMPARE(platform::installTranslations(), 2);
    }

    void missingTranslationsAreNoFailure() {
        QTemporaryDir empty;
        QCOMPARE(platform::installTranslations(empty.path()), 0);
        // A damaged file is as good as none.
        QVERIFY(writeBytes(empty.path() + "/qtbase_zh_CN.qm", "not a catalogue"));
        QCOMPARE(platform::installTranslations(empty.path()), 0);
        QCOMPARE(platform::installTranslations(QStringLiteral("/no/such/folder")), 0);
        // Dialogs still come up and go.
        const DialogTexts box = readModalDialog(
            [] { platform::messageBox(QStringLiteral("内容"), platform::MsgButtons::OkCancel); });
        QCOMPARE(box.className, QStringLiteral("QMessageBox"));
    }

    void qtDialogsAreChinese_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("message box") << 0 << QStringList{"确定", "取消"} << QStringList{};
        QTest::newRow("yes no") << 1 << QStringList{"是", "否"} << QStringList{};
        QTest::newRow("input box") << 2 << QStringList{"确定", "取消"} << QStringList{};
        QTest::newRow("open file")
            << 3 << QStringList{"打开", "取消"} << QStringList{"查找范围", "文件名", "文件类型"};
        QTest::newRow("save file")
            << 4 << QStringList{"保存", "取消"} << QStringList{"查找范围", "文件名"};
    }
    void qtDialogsAreChinese() {
        QFETCH(int, kind);
        QFETCH(QStringList, buttons);
        QFETCH(QStringList, labels);
        const DialogTexts seen = readModalDialog([kind] {
            switch (kind) {
                case 0:
                    platform::messageBox(QStringLiteral("内容"), platform::MsgButtons::OkCancel);
                    break;
                case 1:
                    platform::messageBox(QStringLiteral("内容"), platform::MsgButtons::YesNo);
                    break;
                case 2:
                    platform::inputBox(QStringLiteral("请输入"), QStringLiteral("标题"));
                    break;
                case 3:
                    platform::openFileDialog(QStringLiteral("打开图标"),
                                             QStringLiteral("图片|*.jpg;*.gif"), QDir::tempPath());
                    break;
                default:
                    platform::saveFileDialog(QStringLiteral("导出"),
                                             QStringLiteral("盒子文件|*.tvb"), QDir::tempPath());
                    break;
            }
        });
        QVERIFY2(!seen.className.isEmpty(), "no dialog came up");
        for (const QString& b : buttons)
            QVERIFY2(anyContains(seen.buttons, b),
                     qPrintable(b + " not among " + seen.buttons.join(QLatin1Char('|'))));
        for (const QString& l : labels)
            QVERIFY2(anyContains(seen.labels, l),
                     qPrintable(l + " not among " + seen.labels.join(QLatin1Char('|'))));
        for (const char* english : {"OK", "Cancel", "Open", "Save", "Look in", "File name"}) {
            QVERIFY2(!anyContains(seen.buttons, QString::fromLatin1(english)),
                     qPrintable(seen.buttons.join(QLatin1Char('|'))));
            QVERIFY2(!anyContains(seen.labels, QString::fromLatin1(english)),
                     qPrintable(seen.labels.join(QLatin1Char('|'))));
        }
    }

    // The file dialog writes a file's date in the program's Chinese form, whatever language
    // the session runs in.
    void fileDialogDatesAreChinese() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("a.tvb"));
        QVERIFY(writeBytes(file, "x"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime(QDate(2026, 3, 9), QTime(8, 5)),
                              QFileDevice::FileModificationTime));
        f.close();
        auto date = std::make_shared<QString>();
        auto* poll = new QTimer;
        poll->setInterval(20);
        QObject::connect(poll, &QTimer::timeout, poll, [date, poll] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            // What the dialog's file list shows, read from the view's own model.
            for (QAbstractItemView* view : dialog->findChildren<QAbstractItemView*>()) {
                QAbstractItemModel* model = view->model();
                if (!model || model->columnCount(view->rootIndex()) < 4) continue;
                for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
                    const QModelIndex name = model->index(row, 0, view->rootIndex());
                    if (name.data().toString() == QStringLiteral("a.tvb"))
                        *date = name.sibling(row, 3).data().toString();
                }
            }
            if (date->isEmpty()) return;
            poll->stop();
            dialog->reject();
        });
        poll->start();
        platform::setDialogsAutomatic(false);
        platform::openFileDialog(QStringLiteral("打开"), QStringLiteral("盒子文件|*.tvb"),
                                 dir.path());
        platform::setDialogsAutomatic(true);
        delete poll;
        QVERIFY2(date->startsWith(QStringLiteral("2026/3/9")), qPrintable(*date));
    }

    // The file dialogs of the box maker and of the icon box show each filter as written, its
    // pattern once, and the kind of each entry in Chinese. The box maker's opens by a click.
    void fileDialogKindsAndFiltersAreChinese_data() {
        QTest::addColumn<bool>("boxMaker");
        QTest::addColumn<QStringList>("filters");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("fileKind");
        QTest::newRow("box maker") << true << QStringList{QStringLiteral("Zandrel文件(*.tvb)")}
                                   << "a.tvb" << QStringLiteral("TVB 文件");
        QTest::newRow("icon box") << false
                                  << QStringList{QStringLiteral("BMP(*.bmp)"),
                                                 QStringLiteral("JPEG(*.jpg)"),
                                                 QStringLiteral("GIF(*.gif)")}
                                  << "a.bmp" << QStringLiteral("BMP 文件");
    }
    void fileDialogKindsAndFiltersAreChinese() {
        QFETCH(bool, boxMaker);
        QFETCH(QStringList, filters);
        QFETCH(QString, file);
        QFETCH(QString, fileKind);
        TestProgramFolder folder(QStringLiteral("velmora"));
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        QVERIFY(writeBytes(dir.filePath(file), "x"));
        struct Seen {
            QStringList filters;
            QHash<QString, QString> kinds;
        };
        auto seen = std::make_shared<Seen>();
        auto* poll = new QTimer;
        poll->setInterval(20);
        QObject::connect(poll, &QTimer::timeout, poll, [seen, poll] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            seen->filters.clear();
            for (int i = 0; types && i < types->count(); ++i) seen->filters << types->itemText(i);
            // What the dialog's file list shows, read from the view's own model.
            for (QAbstractItemView* view : dialog->findChildren<QAbstractItemView*>()) {
                QAbstractItemModel* model = view->model();
                if (!model || model->columnCount(view->rootIndex()) < 4) continue;
                for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
                    const QModelIndex name = model->index(row, 0, view->rootIndex());
                    seen->kinds[name.data().toString()] = name.sibling(row, 2).data().toString();
                }
            }
            if (seen->kinds.size() < 2) return;
            poll->stop();
            dialog->reject();
        });
        poll->start();
        platform::setDialogsAutomatic(false);
        if (boxMaker) {
            MakeBoxForm& maker = MakeBoxForm::instance();
            maker.show();
            maker.control<QLineEdit>(QStringLiteral("pathText"))->setText(dir.filePath("b.tvb"));
            QTest::mouseClick(maker.control<QPushButton>(QStringLiteral("pathCommand")),
                              Qt::LeftButton);
            maker.close();
        } else {
            platform::openFileDialog(
                QStringLiteral("打开"),
                QStringLiteral("BMP(*.bmp)|*.bmp|JPEG(*.jpg)|*.jpg|GIF(*.gif)|*.gif"), dir.path());
        }
        platform::setDialogsAutomatic(true);
        delete poll;
        QCOMPARE(seen->filters, filters);
        QCOMPARE(seen->kinds.value(QStringLiteral("sub")), QStringLiteral("文件夹"));
        QCOMPARE(seen->kinds.value(file), fileKind);
    }

    void boxMakerFileDialogIsChinese() {
        TestProgramFolder folder(QStringLiteral("velmora"));
        MakeBoxForm& maker = MakeBoxForm::instance();
        maker.show();
        auto* browse = maker.control<QPushButton>(QStringLiteral("pathCommand"));
        QVERIFY(browse);
        const DialogTexts seen = readModalDialog([browse] { browse->click(); });
        QCOMPARE(seen.className, QStringLiteral("QFileDialog"));
        QVERIFY2(anyContains(seen.buttons, QStringLiteral("取消")),
                 qPrintable(seen.buttons.join(QLatin1Char('|'))));
        QVERIFY2(anyContains(seen.labels, QStringLiteral("查找范围")),
                 qPrintable(seen.labels.join(QLatin1Char('|'))));
        maker.close();
    }

    void pageContextMenuIsChinese() {
        platform::WebBrowser wb;
        QCOMPARE(wb.page()->action(QWebEnginePage::Back)->text(), QStringLiteral("后退"));
        QCOMPARE(wb.page()->action(QWebEnginePage::Reload)->text(), QStringLiteral("重新加载"));
    }

    void errorPageIsChinese() {
        // A port nobody listens on.
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();

        QWidget window;
        auto* wb = new platform::WebBrowser(&window);
        wb->setGeometry(0, 0, 800, 600);
        window.show();
        QSignalSpy done(wb, &platform::WebBrowser::DocumentComplete);
        wb->Navigate(QStringLiteral("http://127.0.0.1:%1/").arg(port));
        QVERIFY(done.wait(15000));
        QString text;
        QVERIFY(QTest::qWaitFor(
            [&] {
                text = pageText(wb);
                return !text.trimmed().isEmpty();
            },
            10000));
        QVERIFY2(text.contains(QStringLiteral("无法访问此网站")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("This site can")), qPrintable(text));
    }

    void formValidationIsChinese() {
        server_->page("/form.html",
                      "<html><body><form><input id='q' required></form></body></html>");
        QWidget window;
        auto* wb = new platform::WebBrowser(&window);
        wb->setGeometry(0, 0, 800, 600);
        window.show();
        QSignalSpy done(wb, &platform::WebBrowser::DocumentComplete);
        wb->Navigate(server_->url("/form.html"));
        QVERIFY(done.wait(15000));
        const QVariant message = wb->Document().evaluate(
            QStringLiteral("document.getElementById('q').validationMessage"));
        QVERIFY2(message.toString().contains(QStringLiteral("请填写")),
                 qPrintable(message.toString()));
    }

    // Every window that shows pages asks sites for Chinese pages.
    void windowsAskForChinesePages_data() {
        QTest::addColumn<int>("window");
        QTest::newRow("recorder") << 0;
        QTest::newRow("debugger") << 1;
        QTest::newRow("player") << 2;
        QTest::newRow("page viewer") << 3;
    }
    void windowsAskForChinesePages() {
        QFETCH(int, window);
        std::unique_ptr<TestProgramFolder> folder;
        platform::Form* form = nullptr;
        livePage::BrowserHost* host = nullptr;
        switch (window) {
            case 0:
                folder = std::make_unique<TestProgramFolder>(QStringLiteral("velmora"));
                form = &RecordWndForm::instance();
                host = &RecordWndForm::instance().host();
                break;
            case 1:
                folder = std::make_unique<TestProgramFolder>(QStringLiteral("velmora"));
                form = &DebugWndForm::instance();
                host = &DebugWndForm::instance().host();
                break;
            case 2:
                folder = std::make_unique<TestProgramFolder>(QStringLiteral("zandrel"));
                QVERIFY(writeBytes(folder->file("site.ini"),
                                   "[site]\r\nmainHost=" + server_->base().toLatin1() + "\r\n"));
                TolvarBoxForm::instance().registerComponent = [](const QString&) {};
                TolvarBoxForm::instance().showSearchWindow = [] {};
                form = &TolvarBoxForm::instance();
                host = &TolvarBoxForm::instance().host();
                break;
            default:
                form = &analysisWndForm::instance();
                host = &analysisWndForm::instance().host();
                break;
        }
        form->show();
        platform::WebBrowser* inUse = host->elementInUse();
        QVERIFY(inUse);
        server_->clearRequests();
        QSignalSpy done(inUse, &platform::WebBrowser::DocumentComplete);
        inUse->Navigate(server_->url("/hello.html"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (const auto& r : server_->requests())
                    if (r.path == "/hello.html") return true;
                return false;
            },
            15000));
        QByteArray language;
        for (const auto& r : server_->requests())
            if (r.path == "/hello.html") language = r.headers.value("accept-language");
        QVERIFY2(language.startsWith("zh-CN"), language.constData());
        done.wait(5000);
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

SUITE_TEST_MAIN(ChineseTest)
#include "tst_chinese.moc"
