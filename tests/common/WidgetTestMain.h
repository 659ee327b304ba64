#pragma once

#include "TestEnvironment.h"
#include "mainwindow/Translations.h"

#include <QApplication>
#include <QTest>

// main() of a widget test: a private home first, then the widget application (offscreen under
// ctest) with the program's English text table.
#define WAVELARK_WIDGET_TEST_MAIN(TestClass)                                                       \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        TestEnvironment environment;                                                               \
        QApplication app(argc, argv);                                                              \
        Translations::install(app);                                                                \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
