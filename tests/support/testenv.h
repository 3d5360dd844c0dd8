#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QtTest>

// Test programs run headless in the real browser engine: the environment is set here before
// the application object exists, dialogs are answered by the test, and the system browser is
// never started.
void prepareTestEnvironment();

#define SUITE_TEST_MAIN(TestObject)           \
    int main(int argc, char** argv) {         \
        prepareTestEnvironment();             \
        QApplication app(argc, argv);         \
        finishTestEnvironment();              \
        TestObject tc;                        \
        QTEST_SET_MAIN_SOURCE_PATH            \
        return QTest::qExec(&tc, argc, argv); \
    }

void finishTestEnvironment();

// A temporary program folder, optionally laid out from data/<program> of the source tree.
// It becomes the process's program folder while it lives.
class TestProgramFolder {
  public:
    explicit TestProgramFolder(const QString& program = QString());
    QString path() const { return dir_.path(); }
    QString file(const QString& relative) const { return dir_.path() + "/" + relative; }
    bool isValid() const { return dir_.isValid(); }

  private:
    QTemporaryDir dir_;
};

// Whole-file helpers that read and write bytes exactly.
QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);

// The source tree's data/<program> folder.
QString sourceDataFolder(const QString& program);
