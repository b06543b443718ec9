# Ruffle, the web Flash player behind the Flash view, at the version
# resources/ruffle/package-lock.json pins. npm installs it into the build
# tree and its files are copied to <program folder>/ruffle/, so that the
# view plays movies without a network.
#
# From the same package, <program folder>/tembrel-ruffle/ is the copy that
# conversions put beside the pages, made to play from disk
# (tools/make_page_ruffle.mjs).
find_program(NPM_EXECUTABLE npm REQUIRED)
find_program(NODE_EXECUTABLE node REQUIRED)

set(ruffle_npm_dir ${CMAKE_BINARY_DIR}/ruffle-npm)
set(ruffle_package ${ruffle_npm_dir}/node_modules/@ruffle-rs/ruffle)
set(ruffle_stamp ${ruffle_npm_dir}/installed.stamp)
set(ruffle_lock ${CMAKE_SOURCE_DIR}/resources/ruffle/package-lock.json)

add_custom_command(
  OUTPUT ${ruffle_stamp}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ruffle_npm_dir}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different
          ${CMAKE_SOURCE_DIR}/resources/ruffle/package.json ${ruffle_lock} ${ruffle_npm_dir}/
  COMMAND ${NPM_EXECUTABLE} ci --prefix ${ruffle_npm_dir} --no-audit --no-fund --prefer-offline --ignore-scripts
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${TEMBREL_PROGRAM_DIR}/ruffle
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${ruffle_package} ${TEMBREL_PROGRAM_DIR}/ruffle
  COMMAND ${CMAKE_COMMAND} -E touch ${ruffle_stamp}
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/ruffle/package.json ${ruffle_lock}
  COMMENT "Installing Ruffle into the program folder"
  VERBATIM)

set(page_ruffle_stamp ${ruffle_npm_dir}/page-ruffle.stamp)
add_custom_command(
  OUTPUT ${page_ruffle_stamp}
  COMMAND ${NODE_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/make_page_ruffle.mjs ${ruffle_package}
          ${CMAKE_SOURCE_DIR}/resources/page_ruffle/page.js ${TEMBREL_PROGRAM_DIR}/tembrel-ruffle
  COMMAND ${CMAKE_COMMAND} -E touch ${page_ruffle_stamp}
  DEPENDS ${ruffle_stamp} ${CMAKE_SOURCE_DIR}/tools/make_page_ruffle.mjs ${CMAKE_SOURCE_DIR}/resources/page_ruffle/page.js
  COMMENT "Making the Ruffle that goes beside the pages"
  VERBATIM)
add_custom_target(ruffle_files ALL DEPENDS ${ruffle_stamp} ${page_ruffle_stamp})

foreach(program tembrel tembrel-convert)
  if(TARGET ${program})
    add_dependencies(${program} ruffle_files)
  endif()
endforeach()
add_dependencies(tembrel_app ruffle_files)
