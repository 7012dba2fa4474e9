# Per-target build settings: strict warnings everywhere, sanitizers where asked for.
function(mw_target_settings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow)
  # GCC 12 reports -Wrestrict inside libstdc++'s std::string at -O3 for plain appends
  # (GCC bug 105329); it is noise, not a finding in our code.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(MW_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(MW_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
  if(MW_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()
