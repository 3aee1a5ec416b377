# Windows resources of the two programs: the program icon (id 1), the embedded manifest
# (RT_MANIFEST id 1: themed common controls, asInvoker, supported systems) and the version
# information.
#
#   lz_add_windows_resources(<target> <description> <filename> [<resource script>...])
#
# Further resource scripts of the program (its own pages, say) are compiled beside these.
#
# The icon is drawn at build time by scripts/make-icon.py from the vector description in
# platform/win32/res/program-icon.json, once for both programs.

cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH _lz_source_root)
set(LZ_RESOURCE_SOURCES "${_lz_source_root}/platform/win32/res" CACHE INTERNAL "")
set(LZ_ICON_SCRIPT "${_lz_source_root}/scripts/make-icon.py" CACHE INTERNAL "")
unset(_lz_source_root)

if(WIN32)
  enable_language(RC)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)

  set(LZ_PROGRAM_ICON "${CMAKE_BINARY_DIR}/resources/program.ico" CACHE INTERNAL "")
  add_custom_command(
    OUTPUT "${LZ_PROGRAM_ICON}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/resources"
    COMMAND Python3::Interpreter "${LZ_ICON_SCRIPT}"
            "${LZ_RESOURCE_SOURCES}/program-icon.json" "${LZ_PROGRAM_ICON}"
    DEPENDS "${LZ_ICON_SCRIPT}" "${LZ_RESOURCE_SOURCES}/program-icon.json"
    COMMENT "Drawing the program icon"
    VERBATIM)
  add_custom_target(lz_program_icon DEPENDS "${LZ_PROGRAM_ICON}")
endif()

function(lz_add_windows_resources target description filename)
  if(NOT WIN32)
    return()
  endif()

  string(REGEX REPLACE "[^A-Za-z0-9._-]" "_" LZ_RES_TARGET "${target}")
  # Resource-script strings double their quotes.
  string(REPLACE "\"" "\"\"" LZ_RES_DESCRIPTION "${description}")
  string(REPLACE "\"" "\"\"" LZ_RES_FILENAME "${filename}")

  set(major "${PROJECT_VERSION_MAJOR}")
  set(minor "${PROJECT_VERSION_MINOR}")
  set(patch "${PROJECT_VERSION_PATCH}")
  set(tweak "${PROJECT_VERSION_TWEAK}")
  foreach(part major minor patch tweak)
    if("${${part}}" STREQUAL "")
      set(${part} 0)
    endif()
  endforeach()
  set(LZ_RES_VERSION "${PROJECT_VERSION}")
  set(LZ_RES_VERSION4 "${major}.${minor}.${patch}.${tweak}")
  set(LZ_RES_VERSION_COMMAS "${major},${minor},${patch},${tweak}")

  set(dir "${CMAKE_CURRENT_BINARY_DIR}/${target}-resources")
  set(LZ_RES_ICON "${LZ_PROGRAM_ICON}")
  set(LZ_RES_MANIFEST "${dir}/program.manifest")
  configure_file("${LZ_RESOURCE_SOURCES}/program.manifest.in" "${LZ_RES_MANIFEST}" @ONLY)
  configure_file("${LZ_RESOURCE_SOURCES}/program.rc.in" "${dir}/program.rc" @ONLY)

  # A separate object library keeps the C++ compile options of the program (warnings,
  # character sets) away from the resource compiler.
  add_library(${target}_resources OBJECT "${dir}/program.rc" ${ARGN})
  set_source_files_properties("${dir}/program.rc" PROPERTIES
    OBJECT_DEPENDS "${LZ_PROGRAM_ICON};${LZ_RES_MANIFEST}")
  add_dependencies(${target}_resources lz_program_icon)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:${target}_resources>)

  if(MSVC)
    # The manifest comes from the resource script; the linker must not add a second one.
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()

# One of the suite's programs: a windowed executable with a wWinMain, over the Win32 services,
# with its resources and the program-wide pieces every program links as objects.
#
#   lz_windows_program(<target> <description> <filename> SOURCES <file>... [RESOURCES <script>...])
function(lz_windows_program target description filename)
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "" "SOURCES;RESOURCES")
  add_executable(${target} WIN32 ${arg_SOURCES})
  target_link_libraries(${target} PRIVATE lz_platform_win32 lz_win32_program)
  target_link_options(${target} PRIVATE -municode)
  lz_target_defaults(${target})
  lz_add_windows_resources(${target} "${description}" "${filename}" ${arg_RESOURCES})
endfunction()
