// Responsibilities: finds the platform's system-information tool for the About dialog's System
// Info button.
// Collaborations: view/about_box starts what it finds through ILauncher; adapters/win32 reads
// the two registry places, adapters/qt a settings key and then $PATH; tests use a fake.
#pragma once

#include <optional>
#include <string>

namespace veltaro {

class ISystemInfoLocator {
public:
    virtual ~ISystemInfoLocator() = default;
    // The path of the tool to start, or nothing when none is known. A path found is not
    // checked: starting it may still fail. Raises Error when a place cannot be read.
    virtual std::optional<std::string> find() = 0;
};

} // namespace veltaro
