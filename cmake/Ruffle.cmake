# Ruffle, the web Flash player behind the Flash view, at the version
# resources/ruffle/package-lock.json pins. npm installs it into the build
# tree and its files are copied to <program folder>/ruffle/, so that the
# view plays movies without a network.
find_program(NPM_EXECUTABLE npm REQUIRED)

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
add_custom_target(ruffle_files ALL DEPENDS ${ruffle_stamp})

if(TARGET tembrel)
  add_dependencies(tembrel ruffle_files)
endif()
add_dependencies(tembrel_app ruffle_files)
