# Installation into the XDG places and the Debian package (cpack -G DEB in the build folder).
# Where the program's folder cannot be written (/usr/bin), PEGASUS.OUT goes to the user's state
# folder instead.
include(GNUInstallDirs)

install(TARGETS veltaro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The manual that Help > Index opens: beside the program in the build folder, and in the
# documentation folder when installed, found from the program's folder by the relative path.
configure_file(${CMAKE_SOURCE_DIR}/data/manual.html ${CMAKE_BINARY_DIR}/manual.html COPYONLY)
install(FILES ${CMAKE_SOURCE_DIR}/data/manual.html DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(VELTARO_DATA_DIR ${CMAKE_SOURCE_DIR}/data)
set(VELTARO_ICON_DIR ${CMAKE_CURRENT_LIST_DIR}/resources)
install(FILES ${VELTARO_DATA_DIR}/veltaro.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${VELTARO_DATA_DIR}/org.veltaro.Veltaro.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/generated/org.veltaro.Veltaro.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/generated/org.veltaro.Veltaro.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# veltaro --headless as a systemd user service, naming the program where it is installed (the
# prefix of cmake --install --prefix or of the package, known only when installing).
install(CODE "set(CMAKE_INSTALL_FULL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  configure_file(\"${VELTARO_DATA_DIR}/veltaro.service.in\"
                 \"${CMAKE_BINARY_DIR}/generated/veltaro.service\" @ONLY)")
install(FILES ${CMAKE_BINARY_DIR}/generated/veltaro.service DESTINATION lib/systemd/user)
install(FILES ${VELTARO_ICON_DIR}/veltaro.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${VELTARO_ICON_DIR}/veltaro-48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME veltaro.png)
install(FILES ${VELTARO_ICON_DIR}/veltaro.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME veltaro)
set(CPACK_PACKAGE_VENDOR "Veltaro")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads the transceiver frequency from TRX-Manager, Commander or HRD and tunes a SteppIR\n\
antenna controller over a serial port whenever it has moved by 10 kHz or more.")
set(CPACK_PACKAGE_CONTACT "Veltaro maintainers <veltaro@localhost>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Veltaro maintainers <veltaro@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_GENERATOR DEB)
include(CPack)
