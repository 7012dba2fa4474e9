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

# Layered include paths. Sources include headers by their path from the source root
# ("scene/model.h"), yet a target may see only its own folder and the layers below it. Each
# target gets a folder in the build tree holding links to just the folders (or files) it
# exposes; the layers below reach it through its target links, so an include that runs upward
# does not compile (tests/CMakeLists.txt proves it with mw_forbid_include).
function(mw_expose target visibility)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  foreach(path ${ARGN})
    if(NOT EXISTS ${CMAKE_SOURCE_DIR}/${path})
      message(FATAL_ERROR "mw_expose(${target}): ${path} does not exist")
    endif()
    get_filename_component(parent ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${path} ${root}/${path} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${visibility} ${root})
endfunction()
