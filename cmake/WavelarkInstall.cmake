# Installed layout: the executables and the `ffmpeg` link they look for beside themselves live in
# a private folder; bin/ only holds links to the two programs, so no `ffmpeg` of ours ever
# shadows the system's one on the PATH. The programs resolve their own path through
# /proc/self/exe, so starting them through bin/ still finds the encoder.
set(WAVELARK_PRIVATE_DIR ${CMAKE_INSTALL_LIBEXECDIR}/wavelark)

install(TARGETS wavelark wavelark-cli RUNTIME DESTINATION ${WAVELARK_PRIVATE_DIR})

# The links in bin/ are relative, so they hold for any prefix and inside a package.
set(wavelark_bin_links ${CMAKE_BINARY_DIR}/install-links)
file(RELATIVE_PATH wavelark_bin_to_private
     /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${WAVELARK_PRIVATE_DIR})
file(MAKE_DIRECTORY ${wavelark_bin_links})
foreach(program wavelark wavelark-cli)
    file(CREATE_LINK ${wavelark_bin_to_private}/${program} ${wavelark_bin_links}/${program}
         SYMBOLIC)
    install(FILES ${wavelark_bin_links}/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

# The encoder link is made by the install script, when the prefix is known (a package is staged
# with DESTDIR under its real prefix, /usr): relative when the encoder lies in the same top-level
# folder (/usr/libexec/wavelark/ffmpeg -> ../../bin/ffmpeg), absolute otherwise.
install(CODE "
    set(_private \"\${CMAKE_INSTALL_PREFIX}/${WAVELARK_PRIVATE_DIR}\")
    set(_target \"${FFMPEG_EXECUTABLE}\")
    string(REGEX MATCH \"^/[^/]+\" _private_top \"\${_private}\")
    string(REGEX MATCH \"^/[^/]+\" _target_top \"\${_target}\")
    if(_private_top STREQUAL _target_top)
        file(RELATIVE_PATH _target \"\${_private}\" \"\${_target}\")
    endif()
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${_private}\")
    file(CREATE_LINK \"\${_target}\" \"\$ENV{DESTDIR}\${_private}/ffmpeg\" SYMBOLIC)
    message(STATUS \"Installing: \$ENV{DESTDIR}\${_private}/ffmpeg -> \${_target}\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_private}/ffmpeg\")
")
