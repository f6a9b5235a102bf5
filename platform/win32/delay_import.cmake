# Delay-import libraries: the setup imports only kernel32, advapi32 and the C
# runtime when it starts; every other system DLL is loaded on its first call,
# after RestrictDllSearchToSystemFolder has run. A DLL loaded at start would
# bring its own imports with it, found by the ordinary search that begins in
# the setup's folder (Wine's user32, for one, imports version.dll).
#
# swk_delay_import_library(user32) makes the imported target swk_user32_delay
# from the toolchain's import library: the DLL's exports, listed with nm, go
# into a .def file that dlltool turns into a delay-import library.
find_program(SWK_MINGW_NM ${SWK_MINGW_TRIPLE}-nm REQUIRED)
find_program(SWK_MINGW_DLLTOOL ${SWK_MINGW_TRIPLE}-dlltool REQUIRED)

function(swk_delay_import_library dll)
  set(import_library /usr/${SWK_MINGW_TRIPLE}/lib/lib${dll}.a)
  set(def ${CMAKE_CURRENT_BINARY_DIR}/delay/${dll}.def)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/delay/lib${dll}_delay.a)
  execute_process(COMMAND ${SWK_MINGW_NM} -g ${import_library}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot list ${import_library}")
  endif()
  string(REGEX MATCHALL " I __imp_[^\r\n]+" imports "${symbols}")
  set(lines "LIBRARY ${dll}.dll\nEXPORTS\n")
  foreach(import ${imports})
    string(REGEX REPLACE "^ I __imp_" "" name "${import}")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      string(REGEX REPLACE "^_" "" name "${name}")  # i686 symbols carry a leading underscore
    endif()
    string(APPEND lines "  ${name}\n")
  endforeach()
  file(WRITE ${def} "${lines}")
  set(kill_at)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(kill_at --kill-at)
  endif()
  execute_process(COMMAND ${SWK_MINGW_DLLTOOL} --input-def ${def} --dllname ${dll}.dll
                          --output-delaylib ${output} ${kill_at}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dlltool failed for ${dll}")
  endif()
  add_library(swk_${dll}_delay STATIC IMPORTED GLOBAL)
  set_target_properties(swk_${dll}_delay PROPERTIES IMPORTED_LOCATION ${output})
endfunction()
