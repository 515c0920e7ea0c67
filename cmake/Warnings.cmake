# Warnings for our own targets (third-party code is compiled without them).
function(bz2arc_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow)
  if(BZ2ARC_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
