# The version is written in CMakeLists.txt's project() for the programs, and again where
# other tools read it: the metainfo's newest release (software centres), the top entry
# of debian/changelog (the package) and the manual page's title line. A release that
# bumps one and forgets another ships two versions.
#   VERSION, the project's; METAINFO; CHANGELOG; MANUAL
file(READ ${METAINFO} metainfo)
# AppStream lists releases newest first.
if(NOT metainfo MATCHES "<release[ \t\r\n][^>]*version=\"([^\"]*)\"")
    message(FATAL_ERROR "${METAINFO} names no release")
endif()
set(released ${CMAKE_MATCH_1})
if(NOT released STREQUAL VERSION)
    message(FATAL_ERROR "${METAINFO}'s newest release is ${released}, the project's version ${VERSION}")
endif()

file(STRINGS ${CHANGELOG} top LIMIT_COUNT 1)
# "vantrell (1.1) unstable; ...", the upstream version without an epoch or a Debian revision.
if(NOT top MATCHES "^[a-z0-9.+-]+ \\(([0-9]+:)?([^) ]*)\\)")
    message(FATAL_ERROR "${CHANGELOG} does not begin with an entry: ${top}")
endif()
string(REGEX REPLACE "-[^-]*$" "" packaged "${CMAKE_MATCH_2}")
if(NOT packaged STREQUAL VERSION)
    message(FATAL_ERROR "${CHANGELOG}'s top entry is ${packaged}, the project's version ${VERSION}")
endif()

file(STRINGS ${MANUAL} title REGEX "^\\.TH " LIMIT_COUNT 1)
if(NOT title MATCHES "\"Vantrell ([^\"]*)\"")
    message(FATAL_ERROR "${MANUAL}'s .TH line names no version: ${title}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
    message(FATAL_ERROR "${MANUAL} is of version ${CMAKE_MATCH_1}, the project's ${VERSION}")
endif()
