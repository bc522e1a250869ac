# project() writes the version for the programs; where other tools read it, it is written
# again: the metainfo's newest release, debian/changelog's top entry (its upstream part)
# and the manual page's title. A release that bumps one and forgets another ships two.
#   VERSION, the project's; METAINFO; CHANGELOG; MANUAL
# group: the pattern's group that holds the version.
function(expect file group pattern)
    file(READ ${file} text)
    if(NOT text MATCHES "${pattern}")
        message(FATAL_ERROR "${file} names no version where expected")
    elseif(NOT CMAKE_MATCH_${group} STREQUAL VERSION)
        message(FATAL_ERROR "${file} names version ${CMAKE_MATCH_${group}}, the project ${VERSION}")
    endif()
endfunction()
expect(${METAINFO} 1 "<release[ \t\r\n][^>]*version=\"([^\"]*)\"") # newest first
expect(${CHANGELOG} 2 "^[a-z0-9.+-]+ \\(([0-9]+:)?([^) -]*)(-[^) ]*)?\\)")
expect(${MANUAL} 1 "\\.TH [^\n]*\"Vantrell ([^\"]*)\"")
