# Debian package of the installed tree (cpack -G DEB in the build folder).
# Included from the top-level CMakeLists.txt after the install rules.

set(CPACK_PACKAGE_NAME ledgerloom)
set(CPACK_PACKAGE_VENDOR "Tarnwell Software")
set(CPACK_PACKAGE_CONTACT "Tarnwell Software <support@tarnwell-software.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Keep records in a database with fields of your own")
set(CPACK_PACKAGE_DESCRIPTION
    "Ledgerloom keeps records in a single SQLite database file. You decide which fields a
record has, enter and search the records, and export them to a spreadsheet.")
set(CPACK_GENERATOR DEB)
# The install rules put the program folder at lib/ledgerloom under this prefix.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME ledgerloom)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tarnwell Software <support@tarnwell-software.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
# Library dependencies come from dpkg-shlibdeps (package dpkg-dev) reading the program file.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Deleting a field drops a column, which the engine can do from 3.35 on; shlibdeps adds the rest.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsqlite3-0 (>= 3.35)")
# The fonts the program is built and tested with; with others, text measures differently.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, fonts-dejavu-core")

include(CPack)
