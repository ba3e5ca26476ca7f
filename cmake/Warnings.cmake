# Warnings are errors on both toolchains, for the project's own targets only.
function(qxlm_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wformat=2 -Wno-format-nonliteral)
  endif()
endfunction()
