# The QML scene is compiled into the program under "qrc:/qml".
qt5_add_resources(_qml_resources "${CMAKE_CURRENT_LIST_DIR}/qml.qrc" OPTIONS -name qml)
target_sources(clientcore PRIVATE ${_qml_resources})
