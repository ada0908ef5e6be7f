# Layers of the core. Each folder of src/ is one library that exports only its
# own headers: the build gives a library an include folder holding a link to
# its own source folder alone, so "package/PackageReader.h" is found only by
# code that links kavelo_package.

set(KAVELO_LAYER_INCLUDE_ROOT ${CMAKE_BINARY_DIR}/layers)

# What every setup carries (the runtime and its graphical wizard) is
# optimised across files at link time with GCC in an optimised build: about
# 85 KB less in every setup. The libraries hold both that form and ordinary
# code ("fat" objects), so every other program links them as before, without
# link-time optimisation. Off for Debug, sanitizer and clang (fuzz) builds.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug"
   AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  set(kavelo_lto_default ON)
else()
  set(kavelo_lto_default OFF)
endif()
option(KAVELO_SETUP_LTO "Link-time optimisation of the setup runtime and its wizard"
  ${kavelo_lto_default})

# Compiles target's code so that kavelo_setup_lto_link can optimise it across
# files, keeping ordinary code beside it.
function(kavelo_setup_lto_code target)
  if(KAVELO_SETUP_LTO)
    target_compile_options(${target} PRIVATE -flto=auto -ffat-lto-objects)
  endif()
endfunction()

# Links program (the runtime, the wizard) with link-time optimisation; its
# own files are linked into nothing else, so they need no ordinary code.
function(kavelo_setup_lto_link program)
  if(KAVELO_SETUP_LTO)
    target_compile_options(${program} PRIVATE -flto=auto)
    target_link_options(${program} PRIVATE -flto=auto)
  endif()
endfunction()

# Gives target the headers of src/FOLDER (as "FOLDER/Name.h") and no others.
function(kavelo_export_folder name folder)
  set(root ${KAVELO_LAYER_INCLUDE_ROOT}/${folder})
  file(MAKE_DIRECTORY ${root})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${name} PUBLIC ${root})
endfunction()

# kavelo_layer(NAME FOLDER SOURCES ... [DEPENDS lib...])
function(kavelo_layer name folder)
  cmake_parse_arguments(L "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  # Each function in a section of its own, so that the setup runtime, which
  # every setup carries, links only the functions it calls.
  target_compile_options(${name} PRIVATE -ffunction-sections -fdata-sections)
  kavelo_setup_lto_code(${name})
  kavelo_export_folder(${name} ${folder})
  if(L_DEPENDS)
    target_link_libraries(${name} PUBLIC ${L_DEPENDS})
  endif()
  set_property(GLOBAL APPEND PROPERTY KAVELO_CORE_LAYERS ${name})
endfunction()

# Fails the configuration when a core library links Qt, directly or through
# another library.
function(kavelo_collect_links target out)
  set(seen ${${out}})
  get_target_property(libs ${target} LINK_LIBRARIES)
  get_target_property(ilibs ${target} INTERFACE_LINK_LIBRARIES)
  foreach(lib IN LISTS libs ilibs)
    if(NOT lib OR lib MATCHES "NOTFOUND$" OR lib IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${lib})
    if(TARGET ${lib})
      kavelo_collect_links(${lib} seen)
    endif()
  endforeach()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(kavelo_check_core_is_qt_free)
  get_property(layers GLOBAL PROPERTY KAVELO_CORE_LAYERS)
  foreach(layer IN LISTS layers)
    set(links)
    kavelo_collect_links(${layer} links)
    foreach(lib IN LISTS links)
      if(lib MATCHES "^Qt[0-9]*::" OR lib MATCHES "Qt[0-9]*(Core|Gui|Widgets)")
        message(FATAL_ERROR "The core library ${layer} links ${lib}: the core must stay free of Qt")
      endif()
    endforeach()
  endforeach()
endfunction()
