#pragma once

#include <QString>
#include <QTemporaryDir>

// A private home for one test process: HOME, the XDG folders and the converter's own home lookup
// all point into a temporary folder that is removed at exit, so no test touches the real user's
// files. Create it before the application object and before any preference is read.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    static QString home();
    static QString configHome();

private:
    QTemporaryDir m_root;
};

// main() of a widget-free test: `WAVELARK_TEST_MAIN(TestClass)`.
#define WAVELARK_TEST_MAIN(TestClass)                                                              \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        TestEnvironment environment;                                                               \
        QCoreApplication app(argc, argv);                                                          \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
