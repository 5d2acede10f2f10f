# The Debian package, made by CPack from the install rules (data/CMakeLists.txt):
#   cpack -G DEB   in a build folder   ->  kavusdraa_<version>_<arch>.deb
# scripts/package.sh configures a build for it and runs it. The version is the project's
# (project() in the top CMakeLists.txt), the same one `--version` prints.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "kavusdraa")
set(CPACK_PACKAGE_CONTACT "kavusdraa developers <kavusdraa@localhost.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Antenna analyzer built from an SDR receiver and a bridge")
set(CPACK_PACKAGE_DESCRIPTION
    "Turns a home-built antenna analyzer (an SDR receiver, a control board on a serial port that
drives RF generator chips, and a resistive bridge) into an instrument: scans frequency ranges
and shows the antenna's impedance R + jX, reflection coefficient and SWR.
.
Contains the desktop program kavusdraa, the command-line tool kavusdraa-cli and the virtual
bench they run on without hardware (kavusdraa-cli demo).")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${PROJECT_NAME})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)  # the build's debugging information stays in the build folder

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # <name>_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/kavusdraa/kavusdraa")
# Depends: the libraries the programs link, found by dpkg-shlibdeps (package dpkg-dev; Qt's
# window-system and offscreen plugins come with libqt6gui6). Recommends: the receivers' libraries,
# loaded at run time; the virtual bench and scan files need neither; and the desktop's tools that
# the options window's "*.kant" association runs for a user.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "librtlsdr0, libhackrf0, xdg-utils, shared-mime-info, desktop-file-utils")

include(CPack)
