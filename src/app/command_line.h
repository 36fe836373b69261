// Responsibilities: the program's command line: which mode to run in (the window, headless, the
// help text, the version) or why the line cannot be used, and the help text itself. Parsed
// before any toolkit object exists, so that --help and a bad option need no display.
// Collaborations: each front end's main() parses its arguments here and acts on the result;
// shell/headless runs the headless mode.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace veltaro {

struct CommandLine {
    enum class Mode { Window, Headless, Help, Version, Bad };
    Mode mode = Mode::Window;
    std::string problem; // for Bad: what is wrong, one line

    // The exit code of a run that ends at once: 0 for help and version, 2 for a bad line.
    int exitCode() const { return mode == Mode::Bad ? 2 : 0; }
};

// The arguments after the program's name.
CommandLine parseCommandLine(std::span<const std::string> args);

// The usage and the options, one per line, ending with a line end.
std::string usageText(std::string_view program);

} // namespace veltaro
