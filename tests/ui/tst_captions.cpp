// Every caption of every window can be read whole at the programs' font: no button, label,
// frame title, tab or fixed-choice list item is wider than the room its control gives it.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "support/captionfit.h"
#include "support/testenv.h"
#include "support/windowtour.h"

class CaptionsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // The finder itself: a caption that does not fit is found, one that fits is not.
    void finderTellsClippedFromWhole_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("clipped");
        for (int kind = 0; kind < 5; ++kind) {
            QTest::addRow("kind %d narrow", kind) << kind << 40 << true;
            QTest::addRow("kind %d wide", kind) << kind << 200 << false;
        }
    }
    void finderTellsClippedFromWhole() {
        QFETCH(int, kind);
        QFETCH(int, width);
        QFETCH(bool, clipped);
        QWidget window;
        window.setObjectName(QStringLiteral("window"));
        window.resize(400, 300);
        QWidget* control = nullptr;
        const QString text = QStringLiteral("锁定新窗口");
        switch (kind) {
            case 0:
                control = new QPushButton(text, &window);
                break;
            case 1:
                control = new QLabel(text, &window);
                break;
            case 2: {
                auto* combo = new QComboBox(&window);
                combo->addItems({QStringLiteral("短"), text});
                control = combo;
                break;
            }
            case 3:
                control = new QCheckBox(text, &window);
                break;
            default:
                control = new QGroupBox(text, &window);
                break;
        }
        control->setObjectName(QStringLiteral("control"));
        control->setGeometry(10, 10, width, 24);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QStringList found = clippedCaptions(&window);
        QCOMPARE(!found.isEmpty(), clipped);
        if (clipped)
            QVERIFY2(found.first().startsWith("window/control: \"锁定新窗口\""),
                     qPrintable(found.first()));
        // A hidden control shows nothing to clip.
        control->hide();
        QVERIFY(clippedCaptions(&window).isEmpty());
    }

    void everyWindowShowsItsCaptionsWhole() {
        WindowTour tour;
        QStringList visited;
        QStringList findings;
        tour.run([&](const QString& name, QWidget* window) {
            visited << name;
            if (!window || !window->isVisible()) {
                findings << name + ": not shown";
                return;
            }
            findings << clippedCaptions(window);
        });
        QCOMPARE(visited, WindowTour::stops());
        for (const QString& f : findings) qWarning("%s", qPrintable(f));
        QCOMPARE(findings.size(), 0);
    }
};

SUITE_TEST_MAIN(CaptionsTest)
#include "tst_captions.moc"
