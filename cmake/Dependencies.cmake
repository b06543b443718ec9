# Third-party libraries. Each layer links only the ones it uses; the front
# ends and the tests get all of them behind tembrel_deps.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswresample libavutil)
pkg_check_modules(OPENMPT REQUIRED IMPORTED_TARGET libopenmpt)
find_package(Qt6 REQUIRED COMPONENTS Core)
# The desktop program's window layer (app/) alone uses these.
find_package(Qt6 REQUIRED COMPONENTS Gui Widgets Network DBus WebEngineWidgets Multimedia)

find_path(LAME_INCLUDE_DIR lame/lame.h REQUIRED)
find_library(LAME_LIBRARY mp3lame REQUIRED)
find_path(GSM_INCLUDE_DIR gsm.h PATH_SUFFIXES gsm REQUIRED)
find_library(GSM_LIBRARY gsm REQUIRED)

add_library(tembrel_lame INTERFACE)
target_include_directories(tembrel_lame INTERFACE ${LAME_INCLUDE_DIR})
target_link_libraries(tembrel_lame INTERFACE ${LAME_LIBRARY})

add_library(tembrel_gsm INTERFACE)
target_include_directories(tembrel_gsm INTERFACE ${GSM_INCLUDE_DIR})
target_link_libraries(tembrel_gsm INTERFACE ${GSM_LIBRARY})

add_library(tembrel_deps INTERFACE)
target_link_libraries(tembrel_deps INTERFACE
  PkgConfig::FFMPEG PkgConfig::OPENMPT Qt6::Core tembrel_lame tembrel_gsm)
