# WinINet is not one of the system's known DLLs. Imported the ordinary way, the
# loader would look for it first in the program's own folder, which is usually
# Downloads, where anyone can drop a DLL. Imported lazily it is loaded on first
# use, after start-up has limited library loading to the system folder.
# Only the functions the program calls are listed.
set(functions InternetOpenW:20 InternetOpenUrlW:24 HttpQueryInfoW:20 InternetReadFile:16
    InternetCloseHandle:4)
set(def "LIBRARY WININET.dll\nEXPORTS\n")
foreach(entry IN LISTS functions)
  string(REPLACE ":" ";" parts ${entry})
  list(GET parts 0 name)
  list(GET parts 1 argument_bytes)
  # 32-bit stdcall names carry their argument size; -k drops it from the import.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    string(APPEND def "${name}@${argument_bytes}\n")
  else()
    string(APPEND def "${name}\n")
  endif()
endforeach()
set(def_file ${CMAKE_BINARY_DIR}/wininet-delay.def)
file(CONFIGURE OUTPUT ${def_file} CONTENT "${def}")

set(delay_library ${CMAKE_BINARY_DIR}/libwininet-delay.a)
add_custom_command(OUTPUT ${delay_library}
  COMMAND ${triple}-dlltool -d ${def_file} -y ${delay_library} $<$<EQUAL:${CMAKE_SIZEOF_VOID_P},4>:-k>
  DEPENDS ${def_file}
  COMMENT "Delay-load import library for WinINet")
add_custom_target(wininet_delay_library DEPENDS ${delay_library})
add_library(wininet_delay STATIC IMPORTED GLOBAL)
set_target_properties(wininet_delay PROPERTIES IMPORTED_LOCATION ${delay_library}
  INTERFACE_LINK_LIBRARIES delayimp)
add_dependencies(wininet_delay wininet_delay_library)
