# What makes the installed program part of the desktop: its menu entry, its
# icon in the icon theme and a command on the PATH. The program folder
# itself is installed whole to lib/tembrel by the top-level project.
set(tembrel_resources ${CMAKE_SOURCE_DIR}/resources)

install(FILES ${tembrel_resources}/tembrel.desktop DESTINATION share/applications)
foreach(size 48 128 256)
  install(FILES ${tembrel_resources}/tembrel-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME tembrel.png)
endforeach()
install(FILES ${tembrel_resources}/tembrel.svg DESTINATION share/icons/hicolor/scalable/apps)

# A relative link, so that the installed tree can be moved as a whole.
install(CODE [[
  set(bin "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
  file(MAKE_DIRECTORY "${bin}")
  file(CREATE_LINK ../lib/tembrel/tembrel "${bin}/tembrel" SYMBOLIC)
  message(STATUS "Installing: ${bin}/tembrel -> ../lib/tembrel/tembrel")
]])

# The window icon at :/tembrel/icon.png in the program whatever it links:
# the library's copy of the resources reaches the program only through code
# that names them (ProgramIcon()).
if(TARGET tembrel)
  target_sources(tembrel PRIVATE ${tembrel_resources}/tembrel.qrc)
endif()
