// Shared by the test programs: an OrbApplication as the application object, so the tests run
// the real registry, paths and logging in the test's own application folder.
#pragma once

#include "OrbApplication.h"

#include <QtTest>

#define LUMACAST_TEST_MAIN(TestClass)                                                                        \
    int main(int argc, char* argv[])                                                                         \
    {                                                                                                        \
        OrbApplication app(argc, argv);                                                                      \
        TestClass testObject;                                                                                \
        return QTest::qExec(&testObject, argc, argv);                                                        \
    }
