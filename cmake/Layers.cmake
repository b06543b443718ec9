# The program's layers, each one static library of its folder's sources:
#   platform <- audio <- swf <- engine,  recorder on platform and swf,
# and the Qt settings store beside platform. A layer's compiler sees only
# the include roots of itself and of the layers it links: the root
# <build>/layers/<name> holds one link, <name>, to the source folder. So an
# include that runs back up ("engine/..." from swf) is not found and fails
# to build, instead of quietly tying a lower layer to a higher one.
set(TEMBREL_LAYER_ROOTS ${CMAKE_BINARY_DIR}/layers)

# tembrel_layer(<library> FOLDER <folder> [SOURCES <files>] [EXCLUDE <files>]
#               [LAYERS <libraries below>] [PRIVATE_LIBS <third-party>])
# Without SOURCES the library takes every .cpp and .c of the folder.
function(tembrel_layer library)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "FOLDER" "SOURCES;EXCLUDE;LAYERS;PRIVATE_LIBS")
  set(root ${TEMBREL_LAYER_ROOTS}/${arg_FOLDER})
  if(NOT IS_SYMLINK ${root}/${arg_FOLDER})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${arg_FOLDER} ${root}/${arg_FOLDER} SYMBOLIC)
  endif()
  if(arg_SOURCES)
    list(TRANSFORM arg_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/${arg_FOLDER}/ OUTPUT_VARIABLE sources)
  else()
    file(GLOB sources CONFIGURE_DEPENDS
      ${CMAKE_SOURCE_DIR}/${arg_FOLDER}/*.cpp ${CMAKE_SOURCE_DIR}/${arg_FOLDER}/*.c)
  endif()
  foreach(name ${arg_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${arg_FOLDER}/${name})
  endforeach()
  add_library(${library} STATIC ${sources})
  target_include_directories(${library} PUBLIC ${root})
  target_link_libraries(${library} PUBLIC ${arg_LAYERS} PRIVATE ${arg_PRIVATE_LIBS})
endfunction()

tembrel_layer(tembrel_platform FOLDER platform
  EXCLUDE qt_settings_store.cpp
  PRIVATE_LIBS PkgConfig::FFMPEG PkgConfig::OPENMPT)
# The only library that links Qt: the options store on QSettings.
tembrel_layer(tembrel_settings_store FOLDER platform
  SOURCES qt_settings_store.cpp
  LAYERS tembrel_platform
  PRIVATE_LIBS Qt6::Core)
tembrel_layer(tembrel_audio FOLDER audio LAYERS tembrel_platform PRIVATE_LIBS tembrel_gsm)
tembrel_layer(tembrel_swf FOLDER swf LAYERS tembrel_audio)
tembrel_layer(tembrel_engine FOLDER engine LAYERS tembrel_swf PRIVATE_LIBS tembrel_lame)
# The WAV writer shares the little-endian byte helpers of the SWF records.
tembrel_layer(tembrel_recorder FOLDER recorder LAYERS tembrel_swf)

# Everything below the front ends, for the front ends, tools and tests. They
# sit on top and see every folder (cli/..., tools/... included).
add_library(tembrel_core INTERFACE)
target_include_directories(tembrel_core INTERFACE ${CMAKE_SOURCE_DIR})
target_link_libraries(tembrel_core INTERFACE
  tembrel_engine tembrel_recorder tembrel_settings_store tembrel_deps)
