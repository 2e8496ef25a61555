# Install rules and the Debian package (cpack -G DEB): the console, vantrel and zarn-sim, the
# demo site and its format, desktop entries, icons and AppStream metadata.
#
#   cmake --build build && (cd build && cpack -G DEB)    -> build/ardix-console_<version>_<arch>.deb
#
# Paths are relative (GNUInstallDirs), so the same rules serve `cmake --install --prefix` and
# the package, whose prefix is /usr.
include(GNUInstallDirs)

set(ARDIX_CONSOLE_ID example.ardix.Console)
set(ARDIX_VANTREL_ID example.ardix.Vantrel)
set(_pkg "${CMAKE_CURRENT_LIST_DIR}/../packaging")

foreach(program client vantrel zarn-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(FILES "${CMAKE_CURRENT_LIST_DIR}/../sim/sites/demo.json"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/ardix/sites)
install(FILES "${CMAKE_CURRENT_LIST_DIR}/../docs/site-file.md" "${_pkg}/config.ini"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/ardix)

foreach(id ${ARDIX_CONSOLE_ID} ${ARDIX_VANTREL_ID})
  install(FILES "${_pkg}/${id}.desktop" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES "${_pkg}/icons/${id}.svg"
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # Rendered from the SVG: ffmpeg -i <id>.svg -vf scale=256:256 <id>.png
  install(FILES "${_pkg}/icons/${id}.png"
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
endforeach()

configure_file("${_pkg}/${ARDIX_CONSOLE_ID}.metainfo.xml.in"
               "${CMAKE_BINARY_DIR}/${ARDIX_CONSOLE_ID}.metainfo.xml" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/${ARDIX_CONSOLE_ID}.metainfo.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ardix-console)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Ardix)
set(CPACK_PACKAGE_CONTACT "Ardix <support@ardix.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Video-surveillance operator console")
# The summary is the package's one-line synopsis; this is the text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The console signs in to a site's event server and shows live camera and door\n"
    "views, point-of-sale texts and recordings. The package also holds vantrel, which\n"
    "switches the console's layouts from a second screen, and zarn-sim, a simulated\n"
    "site with a demo shop in /usr/share/ardix/sites.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_STRIP_FILES ON)
# Libraries come from what the programs link (dpkg-shlibdeps); the QML modules and the SQLite
# driver are loaded at run time, which no linker record shows, so they are named here. A new
# QML import needs its package here (the package test compares the imports with this list).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml-module-qtquick2, qml-module-qtquick-window2, qml-module-qtquick-layouts, "
    "qml-module-qtquick-controls2, qml-module-qt-labs-settings, libqt5sql5-sqlite")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}")
# zarn-sim makes the demo site's video with the ffmpeg program on first use, and serves it over
# RTSP with GStreamer elements it loads at run time (appsrc; the RTP packetiser, rtpbin, UDP);
# without them it logs what is missing and serves HTTP alone. The console and vantrel run
# without any of them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "ffmpeg, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_RECOMMENDS "${CPACK_DEBIAN_PACKAGE_RECOMMENDS}")
include(CPack)
