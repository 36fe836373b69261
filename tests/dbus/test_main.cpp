// Runs the D-Bus tests inside a Qt application, on a private bus started here.
#include "bus_fixture.h"

#include <gtest/gtest.h>

namespace testing_support {
PrivateBus* theBus = nullptr;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::PrivateBus bus;
    if (bus.address().isEmpty()) {
        std::fprintf(stderr, "cannot start dbus-daemon\n");
        return 1;
    }
    testing_support::theBus = &bus;
    return RUN_ALL_TESTS();
}
