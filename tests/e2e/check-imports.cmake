# Checks that the programs import nothing Windows 7 lacks: no shcore.dll, no api-ms-win-* set,
# none of the DPI functions of later Windows (those are looked up at run time, so their names
# do stand in the program, as text).
#   cmake -DOBJDUMP=<objdump> -DFILES=<exe>;<exe> -P check-imports.cmake
set(forbidden_dlls "shcore" "api-ms-win-")
set(later_functions
  GetDpiForWindow GetDpiForSystem GetDpiForMonitor GetSystemMetricsForDpi SystemParametersInfoForDpi
  AdjustWindowRectExForDpi EnableNonClientDpiScaling SetThreadDpiAwarenessContext
  SetProcessDpiAwarenessContext SetProcessDpiAwareness GetDpiForShellUIComponent)

set(failures "")
foreach(file IN LISTS FILES)
  execute_process(COMMAND "${OBJDUMP}" -p "${file}" OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} could not read ${file}")
  endif()
  string(FIND "${dump}" "DLL Name: USER32.dll" user32)
  if(user32 EQUAL -1)
    message(FATAL_ERROR "no import table found in ${file}: the check would prove nothing")
  endif()
  string(TOLOWER "${dump}" lower)
  foreach(dll IN LISTS forbidden_dlls)
    string(FIND "${lower}" "dll name: ${dll}" found)
    if(NOT found EQUAL -1)
      list(APPEND failures "${file} imports ${dll}")
    endif()
  endforeach()
  foreach(function IN LISTS later_functions)
    if(dump MATCHES "[ \t]${function}[\r\n]")
      list(APPEND failures "${file} imports ${function}")
    endif()
  endforeach()
  # The newer functions the programs use are there as names to look up.
  file(STRINGS "${file}" named REGEX "^GetDpiForWindow$")
  if(NOT named)
    list(APPEND failures "${file} does not look up GetDpiForWindow at run time")
  endif()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Imports Windows 7 lacks:\n  ${text}")
endif()
message(STATUS "No import that Windows 7 lacks in: ${FILES}")
