# A message table resource for a Windows binary that is an event log source's
# message file: the message compiler (windmc with MinGW-w64, mc with MSVC) turns the
# .mc file into a resource script and its binary table.
function(qxlm_event_messages target mc_file)
  if(NOT WIN32)
    return()
  endif()
  if(NOT CMAKE_MC_COMPILER)
    message(FATAL_ERROR "no message compiler (CMAKE_MC_COMPILER) for ${target}'s event messages")
  endif()
  get_filename_component(name ${mc_file} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_messages)
  add_custom_command(OUTPUT ${out}/${name}.rc ${out}/MSG00409.bin
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
    COMMAND ${CMAKE_MC_COMPILER} -h ${out} -r ${out} ${mc_file}
    DEPENDS ${mc_file} VERBATIM)
  target_sources(${target} PRIVATE ${out}/${name}.rc)
  # The script names the binary table by its bare name.
  set_source_files_properties(${out}/${name}.rc PROPERTIES OBJECT_DEPENDS ${out}/MSG00409.bin)
  target_include_directories(${target} PRIVATE ${out})
endfunction()
