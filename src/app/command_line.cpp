#include "app/command_line.h"

#include <algorithm>

namespace veltaro {

namespace {

struct Option {
    const char* longName;
    const char* shortName; // nullptr: none
    CommandLine::Mode mode;
    const char* help;
};

constexpr Option Options[] = {
    {"--headless", nullptr, CommandLine::Mode::Headless,
     "run without a window or display, from the stored settings"},
    {"--help", "-h", CommandLine::Mode::Help, "print this help and exit"},
    {"--version", nullptr, CommandLine::Mode::Version, "print the version and exit"},
};

const Option* find(std::string_view arg) {
    for (const auto& o : Options)
        if (arg == o.longName || (o.shortName && arg == o.shortName))
            return &o;
    return nullptr;
}

} // namespace

CommandLine parseCommandLine(std::span<const std::string> args) {
    CommandLine line;
    bool headless = false;
    for (const auto& arg : args) {
        const Option* o = find(arg);
        if (!o) {
            line.mode = CommandLine::Mode::Bad;
            line.problem = arg.starts_with('-') ? "unknown option '" + arg + "'"
                                                : "unexpected argument '" + arg + "'";
            return line;
        }
        // Help and version win over running, whatever their place; the first of them counts.
        if (o->mode == CommandLine::Mode::Headless)
            headless = true;
        else if (line.mode == CommandLine::Mode::Window)
            line.mode = o->mode;
    }
    if (line.mode == CommandLine::Mode::Window && headless)
        line.mode = CommandLine::Mode::Headless;
    return line;
}

std::string usageText(std::string_view program) {
    std::string text = "Usage: " + std::string(program) + " [--headless]\n" +
                       "Makes a SteppIR antenna follow the transceiver.\n\nOptions:\n";
    for (const auto& o : Options) {
        std::string names = o.shortName ? std::string(o.shortName) + ", " + o.longName
                                        : std::string("    ") + o.longName;
        names.resize(std::max<std::size_t>(names.size() + 2, 18), ' ');
        text += "  " + names + o.help + "\n";
    }
    return text + "\nWithout options the window opens. Without a window, each change of state is "
                  "a line\non standard error, and SIGTERM or SIGINT stops the program.\n";
}

} // namespace veltaro
