# What an installed system expects beside the program folder: both commands
# on the PATH, manual pages, shell completion, software-centre metadata, the
# package's own documents, and the Debian package itself (CPack's DEB
# generator, driven by scripts/package.sh).
set(tembrel_packaging ${CMAKE_SOURCE_DIR}/resources/packaging)
set(tembrel_generated ${CMAKE_BINARY_DIR}/installed)

install(CODE [[
  set(bin "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
  file(MAKE_DIRECTORY "${bin}")
  file(CREATE_LINK ../lib/tembrel/tembrel-convert "${bin}/tembrel-convert" SYMBOLIC)
  message(STATUS "Installing: ${bin}/tembrel-convert -> ../lib/tembrel/tembrel-convert")
]])

# The program folder is installed as a folder, which `--strip` does not
# reach: its two binaries are stripped here when an install asks for it.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program tembrel tembrel-convert)
      set(file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/tembrel/\${program}\")
      if(EXISTS \"\${file}\")
        execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded --remove-section=.comment
                                --remove-section=.note \"\${file}\" COMMAND_ERROR_IS_FATAL ANY)
      endif()
    endforeach()
  endif()
")

# The worker's side of runs over many machines: the Slurm array script and
# the merger of its tasks' results.
install(PROGRAMS ${CMAKE_SOURCE_DIR}/scripts/cluster/tembrel-array.sbatch ${CMAKE_SOURCE_DIR}/scripts/cluster/merge-results
        DESTINATION lib/tembrel/cluster)

install(FILES ${CMAKE_SOURCE_DIR}/resources/org.tembrel.Tembrel.metainfo.xml DESTINATION share/metainfo)
install(FILES ${tembrel_packaging}/tembrel-convert.bash-completion
        DESTINATION share/bash-completion/completions RENAME tembrel-convert)
install(FILES ${tembrel_packaging}/copyright DESTINATION share/doc/tembrel)

# The manual pages are made from the programs' own --help and --version, so
# they say what the programs do. A sanitizer build skips them (its programs
# are for the tests, and leak reports would end up in the pages).
find_program(HELP2MAN_EXECUTABLE help2man)
find_program(GZIP_EXECUTABLE gzip)
set(tembrel_man_pages)
if(HELP2MAN_EXECUTABLE AND GZIP_EXECUTABLE AND NOT TEMBREL_SANITIZE)
  set(tembrel_man_names
    "tembrel|convert sound files into Flash movies, in a window"
    "tembrel-convert|convert sound files into Flash movies from the command line")
  foreach(entry ${tembrel_man_names})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 program)
    list(GET parts 1 what)
    if(NOT TARGET ${program})
      continue()
    endif()
    set(page ${tembrel_generated}/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${tembrel_generated}
      COMMAND ${HELP2MAN_EXECUTABLE} --no-info --no-discard-stderr --section=1 --name=${what}
              --output=${page} $<TARGET_FILE:${program}>
      # -n: no name or time stamp inside, so the same program gives the same file.
      COMMAND ${GZIP_EXECUTABLE} -9nf ${page}
      DEPENDS ${program}
      COMMENT "Making the manual page ${program}(1) from its --help"
      VERBATIM)
    list(APPEND tembrel_man_pages ${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${tembrel_man_pages})
  install(FILES ${tembrel_man_pages} DESTINATION share/man/man1)
endif()

# A native package's change log, compressed as Debian policy wants it.
if(GZIP_EXECUTABLE)
  add_custom_command(OUTPUT ${tembrel_generated}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tembrel_generated}
    COMMAND ${CMAKE_COMMAND} -E copy ${tembrel_packaging}/changelog ${tembrel_generated}/changelog
    COMMAND ${GZIP_EXECUTABLE} -9nf ${tembrel_generated}/changelog
    DEPENDS ${tembrel_packaging}/changelog
    VERBATIM)
  add_custom_target(package_changelog ALL DEPENDS ${tembrel_generated}/changelog.gz)
  install(FILES ${tembrel_generated}/changelog.gz DESTINATION share/doc/tembrel)
endif()

# The Debian package. The version is the program's own (its --version
# says "v3.0 build 968"); Depends are what dpkg-shlibdeps finds the binaries
# linked against, plus what they start or load by name at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tembrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Tembrel developers <support@tembrel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sound files to Flash movies with a player and a web page")
# CPack puts the summary first and indents the rest itself; a blank line
# separates paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Tembrel decodes sound files (MP3, WAV, AIFF, AU, OGG, FLAC, AAC, WMA,
tracker modules and more), trims and re-encodes each to MP3 and wraps it
in a Flash movie (SWF): a bare sound movie, a player built from a template,
or a sound movie with a shell player, with an HTML page beside each.

The package holds the desktop program (tembrel), with a built-in Ruffle
preview that works offline, and the command-line converter
(tembrel-convert), which also serves as the worker of Slurm or GNU parallel
runs over many machines.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tembrel.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xdg-open and xdg-mime open folders and pages; Qt WebEngine's helper
# process draws the Flash view; gio and gtk-launch open a page in the text
# editor when xdg-utils cannot; merge-results is Python.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, libqt6webenginecore6-bin, python3")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "slurm-client, parallel")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libglib2.0-bin, libgtk-3-bin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)
