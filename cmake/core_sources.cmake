# The portable core's sources, for the main build and the standalone fuzz build.
set(VELTARO_CORE_SOURCES
    src/about/about_box.cpp
    src/relay/controller_link.cpp
    src/relay/convert.cpp
    src/relay/frequency_file.cpp
    src/relay/tracker.cpp
    src/shell/control.cpp
    src/shell/main_window.cpp
    src/shell/on_top.cpp
    src/shell/settings.cpp
    src/shell/source_selector.cpp
    src/shell/window_layout.cpp
    src/sources/hot_link_source.cpp
    src/sources/registrations.cpp
    src/sources/trx_manager_source.cpp
)
