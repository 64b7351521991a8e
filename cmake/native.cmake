# Native builds of the portable code.
#  - with GCC: unit tests under AddressSanitizer and UndefinedBehaviorSanitizer
#    (Japanese literals in code page 932, as in TAPEON.EXE) and benchmarks;
#  - with clang: the libFuzzer targets.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  target_compile_options(tapeon_core PRIVATE -g -O1 -fsanitize=fuzzer-no-link,address,undefined)
  file(GLOB FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
  foreach(src ${FUZZ_TARGETS})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE -g -O1 -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE tapeon_core)
  endforeach()
  return()
endif()

target_compile_options(tapeon_core PRIVATE -g -O1 ${SANITIZE})
target_link_options(tapeon_core PUBLIC ${SANITIZE})

enable_testing()
find_package(GTest REQUIRED)
file(GLOB UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*_test.cpp)
add_executable(unit_tests ${UNIT_TESTS})
target_compile_options(unit_tests PRIVATE -g -O1 ${SANITIZE})
target_compile_definitions(unit_tests PRIVATE TAPEON_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(unit_tests PRIVATE tapeon_core GTest::gtest GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)

# Benchmarks: the portable code again, optimised and without sanitizers.
find_package(benchmark QUIET)
file(GLOB BENCHES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/bench/*_bench.cpp)
if(benchmark_FOUND AND BENCHES)
  add_library(tapeon_core_opt STATIC ${PORTABLE_SOURCES})
  target_include_directories(tapeon_core_opt PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(tapeon_core_opt PRIVATE -O2)
  add_executable(benchmarks ${BENCHES})
  target_compile_options(benchmarks PRIVATE -O2)
  target_link_libraries(benchmarks PRIVATE tapeon_core_opt benchmark::benchmark benchmark::benchmark_main)
endif()
