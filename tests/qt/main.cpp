// Test entry: a QCoreApplication for the adapters, or a child mode when the parent test re-runs
// this binary (for instance as an unprivileged user).
#include "support.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (const char* mode = std::getenv("VELTARO_TEST_CHILD")) {
        auto args = QCoreApplication::arguments().mid(1);
        return veltaro::qt::test::childMain(QString::fromLocal8Bit(mode), args);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
