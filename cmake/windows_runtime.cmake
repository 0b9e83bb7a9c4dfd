# The mingw runtime DLLs that our Windows programs and the plugin load, copied beside them
# so that they run from the build folder (under wine or on Windows) without a PATH.
# libgcc must be the shared one in every module: exceptions thrown by the host pass
# through the plugin's frames, and only one unwinder for all modules can follow them.
set(KORVEL_RUNTIME_DLLS libgcc_s_dw2-1.dll libstdc++-6.dll libwinpthread-1.dll)

function(korvel_copy_runtime_dlls destination)
  foreach(dll ${KORVEL_RUNTIME_DLLS})
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    file(COPY "${path}" DESTINATION "${destination}")
  endforeach()
endfunction()
