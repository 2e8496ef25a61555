# Warnings for our own targets; third-party headers are included as system headers.
function(ardix_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
  if(ARDIX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
