# The Windows program's version resource and manifest, made from the project
# version (project(... VERSION) in CMakeLists.txt), the one place it is kept.

# Configures fix_tamrix.rc and its manifest into the build folder and appends
# the resource script to the list named `sources`.
function(AddVersionResource sources)
  # The binary fields take four numbers ("1.00" is 1, 0, 0, 0); the strings
  # keep the version as written.
  set(numbers)
  foreach(part MAJOR MINOR PATCH TWEAK)
    set(number "${PROJECT_VERSION_${part}}")
    if(number STREQUAL "")
      set(number 0)
    endif()
    math(EXPR number "${number}")
    list(APPEND numbers ${number})
  endforeach()
  list(JOIN numbers ", " FIX_TAMRIX_VERSION_BINARY)
  list(JOIN numbers "." FIX_TAMRIX_VERSION_DOTTED)
  set(folder ${PROJECT_SOURCE_DIR}/src/platform/win32)
  configure_file(${folder}/fix_tamrix.manifest.in ${CMAKE_CURRENT_BINARY_DIR}/fix_tamrix.manifest @ONLY)
  configure_file(${folder}/fix_tamrix.rc.in ${CMAKE_CURRENT_BINARY_DIR}/fix_tamrix.rc @ONLY)
  # windres names no dependency on the manifest it embeds.
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/fix_tamrix.rc PROPERTIES
    OBJECT_DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/fix_tamrix.manifest)
  set(${sources} ${${sources}} ${CMAKE_CURRENT_BINARY_DIR}/fix_tamrix.rc PARENT_SCOPE)
endfunction()
