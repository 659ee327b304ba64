# Debian package (`make deb`, or `cpack -G DEB` in a build folder): the install layout under /usr,
# shared-library dependencies computed by dpkg-shlibdeps, plus the encoder run as a child process.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wavelark)
set(CPACK_PACKAGE_VENDOR ${WAVELARK_MAKER})
set(CPACK_PACKAGE_CONTACT "${WAVELARK_MAKER} <support@morvane.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert FLAC and Ogg audio to MP3 or AAC")
set(CPACK_PACKAGE_DESCRIPTION "Wavelark converts FLAC and Ogg Vorbis files to MP3 or to AAC in an M4A
container. Drop files or whole folders on its list and press start: several
files convert at once with live progress, the results land in a folder under
the Music folder and are added to a playlist of the music library.

The command-line converter wavelark-cli runs the same engine with the same
preferences. The conversion itself is done by ffmpeg.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.morvane.com/wavelark")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries come from SHLIBDEPS as well; naming TagLib keeps the tag writer explicit.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, libtag1v5")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
