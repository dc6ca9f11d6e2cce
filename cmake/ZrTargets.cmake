# Helpers that turn the folder layout into targets: every .cpp in a layer folder belongs to
# that layer's static library, every .cpp in tests/<layer>/ to that layer's test binary,
# every bench/*.cpp and fuzz/*.cpp is one program.

function(zr_layer name)
  file(GLOB _src CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${name}/*.cpp ${PROJECT_SOURCE_DIR}/${name}/*.c)
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARGN} Threads::Threads)
endfunction()

# Adds pkg-config dependencies to a layer: zr_layer_pkg(media PUBLIC libpng vorbisfile)
function(zr_layer_pkg name)
  foreach(_pkg IN LISTS ARGN)
    string(MAKE_C_IDENTIFIER ${_pkg} _id)
    pkg_check_modules(ZRPKG_${_id} REQUIRED IMPORTED_TARGET ${_pkg})
    target_link_libraries(${name} PUBLIC PkgConfig::ZRPKG_${_id})
  endforeach()
endfunction()

function(zr_layer_tests name)
  file(GLOB _src CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${name}/*.cpp)
  if(NOT _src)
    return()
  endif()
  add_executable(test_${name} ${_src} ${PROJECT_SOURCE_DIR}/tests/support/test_env.cpp)
  target_link_libraries(test_${name} PRIVATE ${name} GTest::gtest GTest::gtest_main)
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60)
endfunction()

# bench/<layer>_<name>.cpp links against <layer> (and everything below it).
function(zr_benchmarks)
  file(GLOB _src CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*.cpp)
  foreach(_f IN LISTS _src)
    get_filename_component(_n ${_f} NAME_WE)
    string(REGEX REPLACE "_.*" "" _layer ${_n})
    add_executable(bench_${_n} ${_f})
    target_link_libraries(bench_${_n} PRIVATE ${_layer} benchmark::benchmark)
    if(COMMAND zr_bench_extra_${_n})
      cmake_language(CALL zr_bench_extra_${_n} bench_${_n})
    endif()
  endforeach()
endfunction()

# fuzz/<layer>_<name>.cpp becomes fuzz_<layer>_<name>.
function(zr_fuzzers)
  file(GLOB _src CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/*.cpp)
  foreach(_f IN LISTS _src)
    get_filename_component(_n ${_f} NAME_WE)
    string(REGEX REPLACE "_.*" "" _layer ${_n})
    add_executable(fuzz_${_n} ${_f})
    target_link_libraries(fuzz_${_n} PRIVATE ${_layer})
    target_link_options(fuzz_${_n} PRIVATE -fsanitize=fuzzer)
  endforeach()
endfunction()

# Compiles a file into the program as a named resource, found at run time through
# plat::FindResource(name, type).
function(zr_embed_resource target res_name res_type file)
  string(MAKE_C_IDENTIFIER "${res_type}_${res_name}" _id)
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/res_${_id}.cpp)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -DIN=${file} -DOUT=${_out} -DNAME=${res_name} -DTYPE=${res_type} -DID=${_id}
            -P ${PROJECT_SOURCE_DIR}/cmake/EmbedResource.cmake
    DEPENDS ${file} ${PROJECT_SOURCE_DIR}/cmake/EmbedResource.cmake VERBATIM)
  target_sources(${target} PRIVATE ${_out})
endfunction()
