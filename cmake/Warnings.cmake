# Warnings for the project's own targets: zentoba_warnings(target).
function(zentoba_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-qual
    -Wformat=2 -Wimplicit-fallthrough -Wmissing-declarations)
  if(ZENTOBA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
