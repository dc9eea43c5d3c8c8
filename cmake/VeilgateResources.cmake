# veilgate_dialog_resources(LIBRARY RC_FILE...)
#
# A dialog library hands its resources on to whoever links it: the compiled
# .rc files become sources of every target that links LIBRARY, directly or
# through another library, so no program can show a dialog whose template it
# lacks. (Inside a static library a resource object would be dropped by the
# linker, since no symbol refers to it.) Extra include folders for the .rc
# files may follow INCLUDE.
function(veilgate_dialog_resources library)
  cmake_parse_arguments(ARG "" "" "INCLUDE" ${ARGN})
  add_library(${library}_resources OBJECT ${ARG_UNPARSED_ARGUMENTS})
  target_include_directories(${library}_resources PRIVATE ${CMAKE_SOURCE_DIR}/src ${ARG_INCLUDE})
  target_sources(${library} INTERFACE $<TARGET_OBJECTS:${library}_resources>)
endfunction()
