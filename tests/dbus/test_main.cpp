// Runs the D-Bus tests inside a Qt application, on a private bus started here.
#include "bus_fixture.h"

#include <gtest/gtest.h>

testing_support::PrivateBus* testing_support::theBus = nullptr;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::PrivateBus bus;
    testing_support::theBus = &bus;
    if (bus.address().isEmpty())
        std::fprintf(stderr, "cannot start dbus-daemon\n");
    return bus.address().isEmpty() ? 1 : RUN_ALL_TESTS();
}
