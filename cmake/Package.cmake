# The Debian package, built from the install rules by `cpack -G DEB` in the
# build folder: <name>_<version>_<arch>.deb.
string(TOLOWER "${PROJECT_NAME}" CPACK_PACKAGE_NAME)
set(CPACK_PACKAGE_VENDOR "The Varnholt developers")
set(CPACK_PACKAGE_CONTACT "Varnholt developers <varnholt@users.noreply.github.com>"
    CACHE STRING "Maintainer of the Debian package: name <address>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://varnholt.github.io/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "combat simulator for the board wargame Varnholt")
# The long description in lines of Debian's width; a line break in the
# string is a line break in the control file.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Enter the two forces of a battle of the board wargame Varnholt, pick the"
  "rules variants and the tactical options, and the program fights the battle"
  "up to 100000 times with simulated dice and shows the odds: how often each"
  "side wins, the average losses of both sides, the average number of rounds"
  "and every distinct end state with its frequency, beside the exact odds"
  "worked out state by state. Battles can be saved to files and opened again."
  "The command varnholt-odds prints the same odds from the command line, as a"
  "report, as JSON or, for a whole file of battles, as a table.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# The libraries the programs link come from dpkg-shlibdeps. Qt loads the SVG
# reader of the window icon as a plugin at run time, which no link shows.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET varnholt)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
endif()

include(CPack)
