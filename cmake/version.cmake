# The program's one version, from project(VERSION), in every form something needs it:
#   VELTARO_VERSION_TEXT        1.2.2      About box, application version, AppStream
#   VELTARO_FILE_VERSION_TEXT   1.02.0002  Windows file version text, installer
#   VELTARO_FILE_VERSION_DOTS   1.2.0.2    installer product version
#   VELTARO_FILE_VERSION_COMMAS 1,2,0,2    Windows VERSIONINFO
# veltaro_generate_version(<dir>) writes <dir>/base/identity.h for the core.
function(veltaro_version_forms major minor patch)
  set(minor_text "0${minor}")
  string(LENGTH "${minor_text}" n)
  math(EXPR from "${n} - 2")
  string(SUBSTRING "${minor_text}" ${from} 2 minor_text)
  set(patch_text "000${patch}")
  string(LENGTH "${patch_text}" n)
  math(EXPR from "${n} - 4")
  string(SUBSTRING "${patch_text}" ${from} 4 patch_text)
  set(VELTARO_VERSION_MAJOR ${major} PARENT_SCOPE)
  set(VELTARO_VERSION_MINOR ${minor} PARENT_SCOPE)
  set(VELTARO_VERSION_PATCH ${patch} PARENT_SCOPE)
  set(VELTARO_VERSION_TEXT "${major}.${minor}.${patch}" PARENT_SCOPE)
  set(VELTARO_FILE_VERSION_TEXT "${major}.${minor_text}.${patch_text}" PARENT_SCOPE)
  set(VELTARO_FILE_VERSION_DOTS "${major}.${minor}.0.${patch}" PARENT_SCOPE)
  set(VELTARO_FILE_VERSION_COMMAS "${major},${minor},0,${patch}" PARENT_SCOPE)
endfunction()

set(VELTARO_VERSION_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/..)

macro(veltaro_generate_version dir)
  veltaro_version_forms(${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH})
  configure_file(${VELTARO_VERSION_SOURCE_DIR}/src/base/identity.h.in
                 ${dir}/base/identity.h @ONLY)
endmacro()
