# The recording host: a data state and render windows that record every call made on them
# (Recording*.{h,cc}). nycl-trace prints the records; the tests compare them. Compiled once,
# archived twice: nycl_recording_host for programs linked with the shared library,
# nycl_recording_host_static for programs linked with nycl_static.
# Included from here and, when the tools are not built, from tests/CMakeLists.txt.
set(_nycl_recording_dir "${CMAKE_CURRENT_LIST_DIR}")
add_library(nycl_recording_objects OBJECT
  "${_nycl_recording_dir}/RecordingDataState.cc"
  "${_nycl_recording_dir}/RecordingRenderWindow.cc"
  "${_nycl_recording_dir}/RecordingFormat.cc")
target_include_directories(nycl_recording_objects PUBLIC "${_nycl_recording_dir}"
                                                         "${PROJECT_SOURCE_DIR}/include")
target_link_libraries(nycl_recording_objects PRIVATE nycl_build_flags)

foreach(_nycl_variant IN ITEMS "" "_static")
  add_library(nycl_recording_host${_nycl_variant} STATIC $<TARGET_OBJECTS:nycl_recording_objects>)
  target_include_directories(nycl_recording_host${_nycl_variant} PUBLIC "${_nycl_recording_dir}")
  target_link_libraries(nycl_recording_host${_nycl_variant} PUBLIC nycl${_nycl_variant})
endforeach()
