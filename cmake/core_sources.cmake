# The portable core's sources by room, for the main build and the standalone fuzz build. Each
# room sees only the rooms before it in this list.
set(VELTARO_ROOMS base ports protocols relay sources app view)
set(VELTARO_BASE_SOURCES src/base/numbers.cpp src/base/text.cpp)
set(VELTARO_PORTS_SOURCES)
set(VELTARO_PROTOCOLS_SOURCES src/protocols/net_address.cpp src/protocols/rig_protocols.cpp
                              src/protocols/steppir_frames.cpp src/protocols/xml_reader.cpp)
set(VELTARO_RELAY_SOURCES src/relay/antenna.cpp src/relay/controller_link.cpp
                          src/relay/controller_port.cpp src/relay/frequency_file.cpp
                          src/relay/interlock.cpp src/relay/tracker.cpp)
set(VELTARO_SOURCES_SOURCES
    src/sources/flrig_source.cpp src/sources/hot_link_source.cpp
    src/sources/radio_info_source.cpp src/sources/registrations.cpp
    src/sources/rig_server_source.cpp src/sources/rigctld_source.cpp
    src/sources/trx_manager_source.cpp)
set(VELTARO_APP_SOURCES src/app/command_line.cpp src/app/headless_report.cpp
                        src/app/relay_session.cpp src/app/settings.cpp src/app/source_selector.cpp
                        src/app/state_feed.cpp)
set(VELTARO_VIEW_SOURCES src/view/about_box.cpp src/view/address_dialog.cpp src/view/control.cpp
                         src/view/keep_above.cpp src/view/main_window_model.cpp
                         src/view/window_layout.cpp)
set(VELTARO_CORE_SOURCES)
foreach(room ${VELTARO_ROOMS})
  string(TOUPPER ${room} ROOM)
  list(APPEND VELTARO_CORE_SOURCES ${VELTARO_${ROOM}_SOURCES})
endforeach()
