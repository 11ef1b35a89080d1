# The Debian package: `cmake --build build --target package` writes
# talvo_<version>_amd64.deb into the build folder. It holds what
# `cmake --install` installs under /usr (binaries stripped), with Debian's
# copyright file and changelog in place of the licence text.
include(${PROJECT_SOURCE_DIR}/cmake/TalvoHomepage.cmake)

set(TALVO_MAINTAINER "The Talvo developers <maintainers@talvo.example.com>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Talvo developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
# The unnamed component is everything installed; "debian" adds the copyright
# file and changelog that an ordinary installation leaves out, and "licence"
# (the full text in /usr/share/doc) stays out, as every Debian system has it.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};talvo;Unspecified;/"
    "${PROJECT_BINARY_DIR};talvo;debian;/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TALVO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the binaries (dpkg-shlibdeps, in dpkg-dev); Qt's
# platform plugins are loaded at run time, so no library names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "settings for a gaming mouse, keyboard and mousepad
Talvo configures a family of USB gaming peripherals on vendor id 0c45 (a
mouse, a keyboard and a mousepad) from the Linux desktop: button functions,
macros stored in the device, animated RGB lighting, DPI stages, report rate
and pointer settings, kept in named profiles that can follow the program in
front. It lives in the system tray, and can be driven by lighting programs
that speak the OpenRGB SDK protocol.
.
The package includes talvoctl, a command-line tool for the devices and for
a running Talvo, and a udev rule that lets the logged-in user open the
devices.")
talvo_homepage(homepage)
if(homepage)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${homepage}")
endif()

# postinst applies the udev rule to devices already plugged in, postrm
# forgets it on removal.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/data/debian/postinst
    ${PROJECT_SOURCE_DIR}/data/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
