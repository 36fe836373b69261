// Readings per second through the tracker, with fakes for the port and the file: readings that
// stay within 10 kHz (labels only) and readings that relay every time (command and file too).
#include "core/fakes.h"
#include "relay/controller_link.h"
#include "relay/frequency_file.h"
#include "relay/tracker.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace veltaro;

namespace {

struct Rig {
    Rig()
        : link(serial, combo, dialogs, {'.'}, [] {}), file(fs),
          tracker(l7, l3, t3, link, file, {'.'}) {
        serial.open = true;
    }
    fake::SerialPort serial;
    fake::FileSystem fs;
    fake::Dialogs dialogs;
    ComboBox combo;
    Label l7, l3;
    TextBox t3;
    ControllerLink link;
    FrequencyFile file;
    Tracker tracker;
};

std::vector<std::string> texts(int first, int step, int count, const char* suffix) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back(std::to_string(first + i * step) + suffix);
    return out;
}

template <typename Feed>
void run(benchmark::State& state, const std::vector<std::string>& in, Feed feed) {
    Rig rig;
    std::size_t i = 0;
    for (auto _ : state) {
        feed(rig.tracker, in[i]);
        if (++i == in.size()) {
            i = 0;
            rig.serial.sent.clear(); // keep the fake's record from growing
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["relays"] = static_cast<double>(rig.tracker.Relays);
}

void commanderNoRelay(benchmark::State& state) {
    // 14070..14079 kHz around a relayed 14074: after the first, nothing relays.
    run(state, texts(14070, 1, 10, ""), [](Tracker& t, const std::string& s) {
        t.CommanderFreq = s;
        t.UpdateFromCommander();
    });
}
void commanderRelayEach(benchmark::State& state) {
    run(state, texts(14000, 20, 64, ".5"), [](Tracker& t, const std::string& s) {
        t.CommanderFreq = s;
        t.UpdateFromCommander();
    });
}
void trxRelayEach(benchmark::State& state) {
    std::vector<std::string> mhz;
    for (int i = 0; i < 64; ++i)
        mhz.push_back(std::to_string(14 + i * 0.02).substr(0, 9));
    run(state, mhz, [](Tracker& t, const std::string& s) {
        t.TrxFreq = s;
        t.UpdateFromTRX();
    });
}

} // namespace

BENCHMARK(commanderNoRelay);
BENCHMARK(commanderRelayEach);
BENCHMARK(trxRelayEach);
BENCHMARK_MAIN();
