# Extra link libraries of single benchmarks; zr_benchmarks() calls zr_bench_extra_<name>(target).

# The pixel kernels are measured beside pixman's nearest operations.
function(zr_bench_extra_media_kernels target)
  pkg_check_modules(ZRBENCH_PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
  target_link_libraries(${target} PRIVATE PkgConfig::ZRBENCH_PIXMAN)
endfunction()

# Whole-frame drawing calls are measured beside pixman's compositing.
function(zr_bench_extra_widgets_drawing target)
  pkg_check_modules(ZRBENCH_PIXMAN_W REQUIRED IMPORTED_TARGET pixman-1)
  target_link_libraries(${target} PRIVATE PkgConfig::ZRBENCH_PIXMAN_W)
endfunction()

# The in-house codecs measured beside libbz2 and zlib.
function(zr_bench_extra_foundation_codecs target)
  find_package(BZip2 REQUIRED)
  find_package(ZLIB REQUIRED)
  target_link_libraries(${target} PRIVATE BZip2::BZip2 ZLIB::ZLIB)
endfunction()

# The script machine's benchmarks assemble their programs with the script tool's library.
function(zr_bench_extra_script_vm target)
  target_link_libraries(${target} PRIVATE nyscriptlib)
endfunction()

# The save thumbnail is measured beside libswscale's area scaler.
function(zr_bench_extra_game_thumbnail target)
  pkg_check_modules(ZRBENCH_SWSCALE REQUIRED IMPORTED_TARGET libswscale libavutil)
  target_link_libraries(${target} PRIVATE PkgConfig::ZRBENCH_SWSCALE)
endfunction()

# The save menu's records and a slot save are measured beside zlib.
function(zr_bench_extra_flow_savemenu target)
  find_package(ZLIB REQUIRED)
  target_link_libraries(${target} PRIVATE ZLIB::ZLIB)
endfunction()

# The whole game in lock step runs on the flow tests' harness, which assembles its scripts.
function(zr_bench_extra_flow_game target)
  find_package(GTest REQUIRED)
  target_link_libraries(${target} PRIVATE nyscriptlib GTest::gtest)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
endfunction()

# The text windows' rendering is measured beside FreeType's own glyph rendering.
function(zr_bench_extra_scenes_textwin target)
  pkg_check_modules(ZRBENCH_FT REQUIRED IMPORTED_TARGET freetype2 fontconfig)
  target_link_libraries(${target} PRIVATE PkgConfig::ZRBENCH_FT)
endfunction()

# The demo in lock step runs on the demo tests' harness, on the data mkdemo makes for this tree.
function(zr_bench_extra_flow_demo target)
  find_package(GTest REQUIRED)
  target_link_libraries(${target} PRIVATE nyscriptlib GTest::gtest)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests
                             ${PROJECT_SOURCE_DIR}/tests/flow)
  target_compile_definitions(${target} PRIVATE ZR_DEMO_DATA="${ZR_DEMO_DATA}")
  add_dependencies(${target} demo_data)
endfunction()
