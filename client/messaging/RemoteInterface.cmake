# The console's (source) side of the remote-control interface; vantrel generates the replica
# side from the same definition.
qt5_generate_repc(_rep_source "${CMAKE_CURRENT_LIST_DIR}/../../interface/client_Service.rep" SOURCE)
target_sources(clientcore PRIVATE ${_rep_source})
target_include_directories(clientcore PUBLIC ${CMAKE_CURRENT_BINARY_DIR})
