#pragma once

#include "TestEnvironment.h"

#include <QApplication>
#include <QTest>

// main() of a preferences widget test: a private home first, then the widget application.
#define WAVELARK_WIDGET_TEST_MAIN(TestClass)                                                       \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        TestEnvironment environment;                                                               \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
