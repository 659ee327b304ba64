# Debian's hardening flags for every target, the program's own build and the tests' alike, taken
# from dpkg-buildflags (with every hardening feature on, unless DEB_BUILD_MAINT_OPTIONS says
# otherwise): fortified functions, the stack protector, format checks, and a read-only relocation
# table bound at start (relro, now). The optimisation and debug flags stay with the build type,
# and the path mapping (for reproducible packages, not hardening) is left out so that builds in
# different folders share their compiler cache. Fortified functions need optimisation: not in
# Debug builds. Fuzzing builds keep their sanitizers alone.
option(WAVELARK_HARDENING "Build with the hardening flags of dpkg-buildflags" ON)
find_program(DPKG_BUILDFLAGS_EXECUTABLE dpkg-buildflags)

if(WAVELARK_HARDENING AND NOT WAVELARK_BUILD_FUZZERS AND DPKG_BUILDFLAGS_EXECUTABLE)
    if(DEFINED ENV{DEB_BUILD_MAINT_OPTIONS})
        set(maint_options "$ENV{DEB_BUILD_MAINT_OPTIONS}")
    else()
        set(maint_options "hardening=+all")
    endif()
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=${maint_options}
                    ${DPKG_BUILDFLAGS_EXECUTABLE} --get ${kind}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
            RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            set(flags "")
        endif()
        separate_arguments(flags UNIX_COMMAND "${flags}")
        list(FILTER flags EXCLUDE REGEX "^-(O[0-9sgz]?|g[0-9]?|ffile-prefix-map=.*|fdebug-prefix-map=.*)$")
        set(hardening_${kind} ${flags})
    endforeach()
    set(fortify ${hardening_CPPFLAGS})
    list(FILTER fortify INCLUDE REGEX "^-D_FORTIFY_SOURCE")
    list(FILTER hardening_CPPFLAGS EXCLUDE REGEX "^-D_FORTIFY_SOURCE")
    target_compile_options(wavelark_settings INTERFACE
        ${hardening_CPPFLAGS} ${hardening_CXXFLAGS}
        "$<$<NOT:$<OR:$<CONFIG:Debug>,$<CONFIG:>>>:${fortify}>")
    target_link_options(wavelark_settings INTERFACE ${hardening_LDFLAGS})
    message(STATUS "Hardening flags: ${hardening_CPPFLAGS} ${hardening_CXXFLAGS} ${fortify} ${hardening_LDFLAGS}")
endif()
