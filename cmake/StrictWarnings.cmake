# orvanne_strict_warnings(<target>): our own targets build warning-free;
# third-party code (GoogleTest) keeps its defaults.
function(orvanne_strict_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  endif()
endfunction()
