// Readings per second from a hot link through the relay session and the main window's model, with
// fakes for the port and the file: Commander readings that stay within 10 kHz (displays only),
// and Commander and HRD readings that relay every time (command and file too).
#include "core/main_rig.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace veltaro;

namespace {

void run(benchmark::State& state, const char* box, const std::vector<std::string>& texts) {
    test::MainRig rig;
    rig.serial.journal = rig.settings.journal = rig.link.journal = rig.files.journal = nullptr;
    rig.settings.set(box, "1");
    rig.load();
    std::size_t i = 0;
    for (auto _ : state) {
        rig.link.advise(texts[i]);
        if (++i == texts.size()) {
            i = 0;
            rig.serial.sent.clear(); // keep the fake's record from growing
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["relays"] = rig.files.writes;
}

std::vector<std::string> texts(long long first, long long step, int count, const char* suffix) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back(std::to_string(first + i * step) + suffix);
    return out;
}

void commanderNoRelay(benchmark::State& state) {
    // 14070..14079 kHz: after the first, nothing relays.
    run(state, "CheckCommander", texts(14070, 1, 10, ""));
}
void commanderRelayEach(benchmark::State& state) {
    run(state, "CheckCommander", texts(14000, 20, 64, ".5"));
}
// HRD's Hz text, read as MHz rounded to 15 significant digits, as TRX-Manager's are.
void hrdRelayEach(benchmark::State& state) {
    run(state, "CheckHRD", texts(14000000, 20000, 64, ""));
}

} // namespace

BENCHMARK(commanderNoRelay);
BENCHMARK(commanderRelayEach);
BENCHMARK(hrdRelayEach);
BENCHMARK_MAIN();
