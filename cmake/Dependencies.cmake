# Third-party libraries of the core, gathered behind one interface target.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswresample libavutil)
pkg_check_modules(OPENMPT REQUIRED IMPORTED_TARGET libopenmpt)
find_package(Qt6 REQUIRED COMPONENTS Core)

find_path(LAME_INCLUDE_DIR lame/lame.h REQUIRED)
find_library(LAME_LIBRARY mp3lame REQUIRED)
find_path(GSM_INCLUDE_DIR gsm.h PATH_SUFFIXES gsm REQUIRED)
find_library(GSM_LIBRARY gsm REQUIRED)

add_library(tembrel_deps INTERFACE)
target_include_directories(tembrel_deps INTERFACE ${LAME_INCLUDE_DIR} ${GSM_INCLUDE_DIR})
target_link_libraries(tembrel_deps INTERFACE
  PkgConfig::FFMPEG PkgConfig::OPENMPT Qt6::Core ${LAME_LIBRARY} ${GSM_LIBRARY})
