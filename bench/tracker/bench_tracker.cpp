// Readings per second through the tracker, with fakes for the port and the file: Commander
// readings that stay within 10 kHz (displays only), and Commander and MHz readings that relay
// every time (command and file too).
#include "core/tracker_rig.h"
#include "base/numbers.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace veltaro;

namespace {

void run(benchmark::State& state, const std::vector<Reading>& readings) {
    test::TrackerRig rig;
    std::size_t i = 0;
    for (auto _ : state) {
        rig.tracker.update(readings[i]);
        if (++i == readings.size()) {
            i = 0;
            rig.serial.sent.clear(); // keep the fake's record from growing
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["relays"] = static_cast<double>(rig.tracker.relays());
}

std::vector<Reading> kilohertz(int first, int step, int count, const char* suffix) {
    std::vector<Reading> out;
    for (int i = 0; i < count; ++i)
        out.push_back(Reading::kilohertzText(std::to_string(first + i * step) + suffix));
    return out;
}

void commanderNoRelay(benchmark::State& state) {
    // 14070..14079 kHz: after the first, nothing relays.
    run(state, kilohertz(14070, 1, 10, ""));
}
void commanderRelayEach(benchmark::State& state) {
    run(state, kilohertz(14000, 20, 64, ".5"));
}
// MHz readings as TRX-Manager and HRD give them: 15 significant digits.
void trxRelayEach(benchmark::State& state) {
    std::vector<Reading> readings;
    for (int i = 0; i < 64; ++i)
        readings.push_back(Reading::megahertz(roundTo15Digits(14 + i * 0.02)));
    run(state, readings);
}

} // namespace

BENCHMARK(commanderNoRelay);
BENCHMARK(commanderRelayEach);
BENCHMARK(trxRelayEach);
BENCHMARK_MAIN();
