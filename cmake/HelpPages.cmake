# The help pages go into the program folder's help/, where the help window
# finds them; a changed or new page is copied again on the next build.
file(GLOB tembrel_help_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/help/*)
set(tembrel_help_outputs)
foreach(source ${tembrel_help_sources})
  get_filename_component(name ${source} NAME)
  set(output ${TEMBREL_PROGRAM_DIR}/help/${name})
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TEMBREL_PROGRAM_DIR}/help
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${source} ${output}
    DEPENDS ${source}
    VERBATIM)
  list(APPEND tembrel_help_outputs ${output})
endforeach()
add_custom_target(help_pages ALL DEPENDS ${tembrel_help_outputs})
if(TARGET tembrel)
  add_dependencies(tembrel help_pages)
endif()
if(TARGET tembrel_app)
  add_dependencies(tembrel_app help_pages)
endif()
