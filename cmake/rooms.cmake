# The rooms of src/ as libraries that see only what is below them. Each library gets an include
# root of its own in the build tree that holds links to its own room and the rooms below, and
# nothing else, so that an include of a room above fails to build. Includes name the room:
# "relay/tracker.h".

# veltaro_room_root(<var> <room>...): the include root holding links to the rooms, in <var>.
function(veltaro_room_root var)
  list(JOIN ARGN "+" name)
  string(REPLACE "/" "_" name "${name}")
  set(root ${CMAKE_BINARY_DIR}/rooms/${name})
  foreach(room ${ARGN})
    get_filename_component(parent ${root}/${room} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT EXISTS ${root}/${room})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${room} ${root}/${room} SYMBOLIC)
    endif()
  endforeach()
  set(${var} ${root} PARENT_SCOPE)
endfunction()

# veltaro_room_library(<target> <kind> ROOMS <room>... SOURCES <file>... LIBS <lib>...): a library
# whose sources see the rooms given (its own last) and the generated identity header.
function(veltaro_room_library target kind)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "ROOMS;SOURCES;LIBS")
  veltaro_room_root(root ${arg_ROOMS})
  if(kind STREQUAL "INTERFACE")
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${root} ${CMAKE_BINARY_DIR}/generated)
    target_link_libraries(${target} INTERFACE ${arg_LIBS})
  else()
    add_library(${target} ${kind} ${arg_SOURCES})
    target_include_directories(${target} PUBLIC ${root} ${CMAKE_BINARY_DIR}/generated)
    target_link_libraries(${target} PUBLIC ${arg_LIBS})
  endif()
endfunction()

# The portable core, room by room.
function(veltaro_core_libraries)
  set(below)
  set(libs)
  foreach(room ${VELTARO_ROOMS})
    string(TOUPPER ${room} ROOM)
    list(APPEND below ${room})
    set(sources ${VELTARO_${ROOM}_SOURCES})
    if(sources)
      veltaro_room_library(veltaro_${room} STATIC ROOMS ${below} SOURCES ${sources} LIBS ${libs})
    else()
      veltaro_room_library(veltaro_${room} INTERFACE ROOMS ${below} LIBS ${libs})
    endif()
    set(libs veltaro_${room})
  endforeach()
  # The whole core, for the front ends, the tests and the fuzz replays.
  add_library(veltaro_core INTERFACE)
  target_link_libraries(veltaro_core INTERFACE ${libs})
endfunction()
