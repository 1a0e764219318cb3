# Import libraries for the simulator's two API DLLs, made from our own SDK declarations, so the
# plug-in links exactly as against the published SDK: by name, from XPLM_64.dll and XPWidgets_64.dll.
function(sdk_import_library target dll macro)
  set(headers ${ARGN})
  string(REPLACE ";" "|" header_arg "${headers}")
  set(def "${CMAKE_BINARY_DIR}/sdk/${target}.def")
  set(lib "${CMAKE_BINARY_DIR}/sdk/lib${target}.a")
  add_custom_command(
    OUTPUT "${lib}"
    COMMAND ${CMAKE_COMMAND} -DLIBRARY=${dll} -DMACRO=${macro} -DOUT=${def} "-DHEADERS=${header_arg}"
            -P "${PROJECT_SOURCE_DIR}/cmake/ImportDef.cmake"
    COMMAND ${CMAKE_DLLTOOL} -d "${def}" -l "${lib}" -D ${dll}
    DEPENDS ${headers} "${PROJECT_SOURCE_DIR}/cmake/ImportDef.cmake"
    COMMENT "Import library for ${dll}"
    VERBATIM)
  add_custom_target(${target}_implib DEPENDS "${lib}")
  add_library(${target} INTERFACE)
  add_dependencies(${target} ${target}_implib)
  target_link_libraries(${target} INTERFACE "${lib}")
  target_include_directories(${target} INTERFACE "${PROJECT_SOURCE_DIR}/sdk/XPLM" "${PROJECT_SOURCE_DIR}/sdk/Widgets")
endfunction()

file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/sdk")
file(GLOB XPLM_HEADERS "${PROJECT_SOURCE_DIR}/sdk/XPLM/*.h")
file(GLOB WIDGET_HEADERS "${PROJECT_SOURCE_DIR}/sdk/Widgets/*.h")
sdk_import_library(xplm_sdk XPLM_64.dll XPLM_API ${XPLM_HEADERS})
sdk_import_library(xpwidgets_sdk XPWidgets_64.dll WIDGET_API ${WIDGET_HEADERS})
