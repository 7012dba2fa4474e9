# Per-target build settings: strict warnings everywhere, sanitizers where asked for.
function(mw_target_settings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow)
  if(MW_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(MW_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
endfunction()
