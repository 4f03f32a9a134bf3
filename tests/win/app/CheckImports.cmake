# Fails when kelvara.exe imports a DLL that it is meant to load only when a feature first needs
# it (src/toolkit/SystemLibrary.h): linked in, such a DLL is loaded at every start.
#   cmake -DOBJDUMP=... -DEXE=kelvara.exe -P CheckImports.cmake
execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} could not read ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" names "${dump}")
if(NOT names)
  message(FATAL_ERROR "${EXE} lists no imported DLL: the dump was not understood")
endif()
set(found "")
foreach(line IN LISTS names)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  list(APPEND found "${dll}")
  string(TOLOWER "${dll}" lower)
  if(lower MATCHES "^(shell32|ole32|oleaut32|version|combase)\\.dll$")
    message(FATAL_ERROR "kelvara.exe imports ${dll}, which it should load when first used "
                        "(toolkit/SystemLibrary.h). Imports: ${found}")
  endif()
endforeach()
message(STATUS "kelvara.exe imports: ${found}")
