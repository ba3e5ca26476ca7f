# Warnings are errors on both toolchains, for the project's own targets only (their
# C and C++ sources: the version resources go through windres).
function(qxlm_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE
      "$<$<COMPILE_LANGUAGE:C,CXX>:-Wall;-Wextra;-Werror;-Wformat=2;-Wno-format-nonliteral>")
  endif()
endfunction()
