# Runs the preprocessor with each layer's own include directories: a header
# of the layer and of the layers below it must be found, a header of a layer
# above it (or Qt) must not. Called by CTest with
#   -DCXX=<compiler> -DLAYERS=<name>,... and -D<NAME>_DIRS=<dir>|<dir>...
# for every layer. The positive probes prove the command itself works, so a
# failing negative probe means the header is out of reach, nothing else.
set(probe_dir ${CMAKE_CURRENT_BINARY_DIR}/layering-probes)
file(MAKE_DIRECTORY ${probe_dir})

# One header of each folder.
set(header_platform "platform/os_file.h")
set(header_audio "audio/audio_source.h")
set(header_swf "swf/swf_writer.h")
set(header_engine "engine/conversion_settings.h")
set(header_recorder "recorder/wav_file_writer.h")
set(header_qt "QtCore/QString")

# What each layer must reach and what it must not.
set(reach_platform platform)
set(above_platform audio swf engine recorder qt)
set(reach_audio platform audio)
set(above_audio swf engine recorder qt)
set(reach_swf platform audio swf)
set(above_swf engine recorder qt)
set(reach_engine platform audio swf engine)
set(above_engine recorder qt)
set(reach_recorder platform swf recorder)
set(above_recorder engine qt)
# The one library that may use Qt: proves the Qt probe can succeed.
set(reach_settings_store platform qt)
set(above_settings_store audio swf engine recorder)

set(failures "")
function(preprocess layer folder result_var output_var)
  string(REPLACE "|" ";" dirs "${${layer}_DIRS}")
  set(flags "")
  foreach(dir ${dirs})
    list(APPEND flags "-I${dir}")
  endforeach()
  set(source ${probe_dir}/${layer}_${folder}.cpp)
  file(WRITE ${source} "#include \"${header_${folder}}\"\n")
  execute_process(COMMAND ${CXX} -std=c++20 -E ${flags} ${source} -o ${probe_dir}/${layer}_${folder}.i
                  RESULT_VARIABLE result ERROR_VARIABLE output)
  set(${result_var} ${result} PARENT_SCOPE)
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

string(REPLACE "," ";" layers "${LAYERS}")
foreach(layer ${layers})
  if(NOT DEFINED ${layer}_DIRS)
    message(FATAL_ERROR "no include directories given for ${layer}")
  endif()
  foreach(folder ${reach_${layer}})
    preprocess(${layer} ${folder} result output)
    if(NOT result EQUAL 0)
      list(APPEND failures "${layer} cannot include ${header_${folder}}:\n${output}")
    endif()
  endforeach()
  foreach(folder ${above_${layer}})
    preprocess(${layer} ${folder} result output)
    if(result EQUAL 0)
      list(APPEND failures "${layer} reaches up to ${header_${folder}}")
    elseif(NOT output MATCHES "No such file|file not found")
      list(APPEND failures "${layer} failed on ${header_${folder}} for another reason:\n${output}")
    endif()
  endforeach()
endforeach()

if(failures)
  string(REPLACE ";" "\n" text "${failures}")
  message(FATAL_ERROR "${text}")
endif()
message(STATUS "layers ${LAYERS}: every include reaches down only")
