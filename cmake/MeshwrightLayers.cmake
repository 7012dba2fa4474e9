# mw_forbid_include(target header): a test that compiles a one-line file including HEADER with
# the include path TARGET gives its users, and passes only when the compiler cannot find HEADER.
# The probe is left out of the normal build; the test builds it, one probe at a time (two build
# tools working in one build folder at once can spoil its logs).
function(mw_forbid_include target header)
  if(NOT EXISTS ${CMAKE_SOURCE_DIR}/${header})
    # A renamed header would make the probe pass for the wrong reason.
    message(FATAL_ERROR "mw_forbid_include: ${header} does not exist")
  endif()
  string(MAKE_C_IDENTIFIER "${target}_${header}" id)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/layer_probes/${id}.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT "#include \"${header}\"\n")
  add_library(probe_${id} OBJECT EXCLUDE_FROM_ALL ${source})
  target_link_libraries(probe_${id} PRIVATE ${target})
  set_target_properties(probe_${id} PROPERTIES AUTOMOC OFF)
  string(REPLACE "." "\\." pattern "${header}")
  add_test(NAME layering.${target}_cannot_include_${header}
           COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target probe_${id})
  set_tests_properties(layering.${target}_cannot_include_${header} PROPERTIES
                       LABELS core TIMEOUT 120 RESOURCE_LOCK build-folder
                       PASS_REGULAR_EXPRESSION "${pattern}(: No such file|' file not found)")
endfunction()
