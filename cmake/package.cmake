# The Debian package, built by scripts/package with `cpack -G DEB` in a tree configured with
# WENDREL_PACKAGE=ON and the prefix /usr. The libraries' packages are found by dpkg-shlibdeps from
# what the programs link; Graphviz, which the map runs as a program, and Qt's platform plugins,
# which Qt loads at start-up, are named here.
set(WENDREL_MAINTAINER "Wendrel Search developers <wendrel@example.org>" CACHE STRING
    "The package's maintainer, name and address")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wendrel)
set(CPACK_PACKAGE_VENDOR "Wendrel Search developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${WENDREL_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${WENDREL_PROJECT_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "graphviz, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "citation chaining by pearl growing
Wendrel Search helps researchers find literature by citation chaining.
Search an academic search service, make chosen articles pearls, and the
program fetches for every pearl the articles it cites and the articles
citing it, merged into one list in which every article counts how many
pearls it relates to.
.
The package holds the desktop program wendrel-search and the command
wendrel, which grows, exports (RIS, BibTeX, CSL-JSON, CSV) and maps
citation chains without a window. Articles come from OpenAlex through a
local caching gateway, or from a local corpus; a synthetic demo corpus
is included.")

include(CPack)
