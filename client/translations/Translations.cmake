# Included from client/CMakeLists.txt: generated sources must come from the directory
# that defines the target using them.
file(MAKE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/translations")
# The .ts sources become .qm files at build time and are compiled in under ":/translations/".
set(_qm_files)
set(_qrc_entries)
foreach(name client client_en client_es client_pt)
  set(_ts "${CMAKE_CURRENT_LIST_DIR}/${name}.ts")
  set(_qm "${CMAKE_CURRENT_BINARY_DIR}/translations/${name}.qm")
  add_custom_command(OUTPUT ${_qm}
    COMMAND ${LRELEASE_EXECUTABLE} -silent ${_ts} -qm ${_qm}
    DEPENDS ${_ts} VERBATIM)
  list(APPEND _qm_files ${_qm})
  string(APPEND _qrc_entries "    <file>${name}.qm</file>\n")
endforeach()

set(_qrc "${CMAKE_CURRENT_BINARY_DIR}/translations/translations.qrc")
file(WRITE ${_qrc} "<RCC>\n  <qresource prefix=\"/translations\">\n${_qrc_entries}  </qresource>\n</RCC>\n")
set(_cpp "${CMAKE_CURRENT_BINARY_DIR}/translations/qrc_translations.cpp")
add_custom_command(OUTPUT ${_cpp}
  COMMAND Qt5::rcc -name translations ${_qrc} -o ${_cpp}
  DEPENDS ${_qrc} ${_qm_files} VERBATIM)
target_sources(clientcore PRIVATE ${_cpp})
set_source_files_properties(${_cpp} PROPERTIES SKIP_AUTOMOC ON GENERATED ON)

# `cmake --build build --target update_translations` brings the translation sources up to date
# with the texts of client/ (QML and C++): new texts are added unfinished, gone ones removed.
find_program(LUPDATE_EXECUTABLE lupdate HINTS /usr/lib/qt5/bin)
if(LUPDATE_EXECUTABLE)
  get_filename_component(_client_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
  add_custom_target(update_translations
    COMMAND ${LUPDATE_EXECUTABLE} -silent -locations none -no-obsolete
            -extensions cpp,h,qml,js ${_client_dir}
            -ts ${CMAKE_CURRENT_LIST_DIR}/client.ts ${CMAKE_CURRENT_LIST_DIR}/client_en.ts
                ${CMAKE_CURRENT_LIST_DIR}/client_es.ts ${CMAKE_CURRENT_LIST_DIR}/client_pt.ts
    WORKING_DIRECTORY ${_client_dir}
    COMMENT "Updating the translation sources from client/"
    VERBATIM)
endif()
