# Fuzzing build: every target is instrumented for coverage and checked by the address and
# undefined-behaviour sanitizers; the fuzz targets add libFuzzer's driver when they link.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "WAVELARK_BUILD_FUZZERS needs clang with libFuzzer "
                        "(configure with CC=clang CXX=clang++)")
endif()
set(wavelark_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined)
target_compile_options(wavelark_settings INTERFACE
    -fsanitize=fuzzer-no-link ${wavelark_sanitizers} -fno-omit-frame-pointer)
target_link_options(wavelark_settings INTERFACE ${wavelark_sanitizers})
