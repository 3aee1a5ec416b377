# Common compile options for every target of the suite.
function(lz_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -finput-charset=UTF-8 -fexec-charset=UTF-8)
  if(LZ_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(LZ_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    # Small executables: every function and datum in a section of its own, and the linker
    # drops the sections nothing reaches. No link time in the header, so that the same
    # sources give the same bytes.
    target_compile_options(${target} PRIVATE -ffunction-sections -fdata-sections)
    target_link_options(${target} PRIVATE -Wl,--gc-sections -Wl,--no-insert-timestamp)
  endif()
endfunction()
