# `cpack -G DEB` in the build folder makes corvane_<version>_<arch>.deb from the
# install rules: the program and its manual page, the library with its SONAME
# links, the header, and the CMake and pkg-config files, under /usr.
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Quake asset converter and the varnel reader library")
# The long description, one line per control-file line.
set(CPACK_PACKAGE_DESCRIPTION "corvane converts Quake alias models to OBJ (with MTL) or ASE, skins
and sprite frames to TGA, PNG, BMP or JPEG images, writes a text report,
and lists and extracts pack archives.
.
It is built on libvarnel, a shared library that reads pack archives, alias
models, sprites, palettes, colormaps, picture lumps, WAD2 directories and
map entity text into plain records. Its header, CMake package and
pkg-config file are included.")
set(CPACK_PACKAGE_VENDOR "varnel developers")
if(NOT CPACK_PACKAGE_CONTACT)
  set(CPACK_PACKAGE_CONTACT "varnel developers")
endif()
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Images are written through FreeImage, opened at run time: nothing links it, so
# dpkg-shlibdeps cannot see it and it is named here. The rest comes from the
# binaries, through dpkg-shlibdeps, which CPack runs only where `file` is
# installed; without it the runtimes the binaries link are named without versions.
find_program(VARNEL_FILE_COMMAND file)
if(VARNEL_FILE_COMMAND)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS libfreeimage3)
  # With it CPack sees the library under /usr/lib and adds postinst and postrm
  # scripts that run ldconfig; because of the postrm, dpkg keeps the package's
  # record ("rc") after apt-get remove until apt-get purge.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Records libvarnel's SONAME for packages built against it.
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
else()
  message(STATUS "'file' not found (Debian package file): the Debian package names the C and C++ "
                 "runtimes without versions")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libfreeimage3, libspng0, libc6, libgcc-s1, libstdc++6")
  # No maintainer scripts here: a dpkg trigger refreshes the library cache.
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
endif()

include(CPack)
