# What a release is made of: the manual page and the Debian changelog,
# which take the version from project() and the date from the newest entry
# of CHANGELOG.md; the install rules; and the packages that
# CPack makes from them, a Debian package and a tarball.

# The newest entry: its heading "## VERSION - YYYY-MM-DD", and its items
# as the Debian changelog writes them, "- " becoming "  * ".
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md changelog)
# An edit of it configures anew, so that what is made from it follows.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
set(heading "")
set(items "")
foreach(line IN LISTS changelog)
  if(line MATCHES "^## ")
    if(heading)
      break()
    endif()
    set(heading "${line}")
  elseif(heading AND NOT line STREQUAL "")
    string(REGEX REPLACE "^- " "  * " line "${line}")
    string(REGEX REPLACE "^  ([^ *])" "    \\1" line "${line}")
    string(APPEND items "${line}\n")
  endif()
endforeach()
if(NOT heading MATCHES "^## ([^ ]+) - ([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
  message(FATAL_ERROR "CHANGELOG.md: the newest heading is \"${heading}\", "
                      "not \"## VERSION - YYYY-MM-DD\"")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md: the newest entry is ${CMAKE_MATCH_1}, "
                      "but project() says ${PROJECT_VERSION}")
endif()
set(year ${CMAKE_MATCH_2})
math(EXPR month "1${CMAKE_MATCH_3} - 100")
math(EXPR day "1${CMAKE_MATCH_4} - 100")
set(GRADE_RELEASE_DATE "${year}-${CMAKE_MATCH_3}-${CMAKE_MATCH_4}")

# The release date as Debian's changelog writes it, "Tue, 08 Dec 2026";
# the weekday by Sakamoto's method.
set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
math(EXPR m "${month} - 1")
list(GET offsets ${m} offset)
set(y ${year})
if(month LESS 3)
  math(EXPR y "${y} - 1")
endif()
math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + ${day}) % 7")
set(weekdays Sun Mon Tue Wed Thu Fri Sat)
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET weekdays ${weekday} weekday)
list(GET months ${m} monthName)
set(debianDate "${weekday}, ${CMAKE_MATCH_4} ${monthName} ${year} 00:00:00 +0000")

set(GRADE_MAINTAINER "the grade authors <grade@example.org>"
    CACHE STRING "The packages' maintainer, as \"name <address>\"")

file(WRITE ${PROJECT_BINARY_DIR}/debian/changelog
     "grade (${PROJECT_VERSION}) unstable; urgency=medium\n\n${items}\n"
     " -- ${GRADE_MAINTAINER}  ${debianDate}\n")

configure_file(${PROJECT_SOURCE_DIR}/doc/grade.1.in ${PROJECT_BINARY_DIR}/grade.1
               @ONLY)

# Compressed as Debian does it: the best compression, no name or time.
find_program(GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT grade.1.gz debian/changelog.gz
  COMMAND ${GZIP} -9nkf grade.1 debian/changelog
  DEPENDS ${PROJECT_BINARY_DIR}/grade.1 ${PROJECT_BINARY_DIR}/debian/changelog
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  VERBATIM)
add_custom_target(documents ALL DEPENDS grade.1.gz debian/changelog.gz)

include(GNUInstallDirs)
install(TARGETS grade RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_BINARY_DIR}/grade.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE ${PROJECT_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# LICENSE holds the copyright notice and the licence: Debian's copyright.
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" arch)
set(CPACK_PACKAGE_NAME grade)
set(CPACK_PACKAGE_VENDOR "the grade authors")
set(CPACK_PACKAGE_CONTACT "${GRADE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "grader for the results files of Lab 1")
set(CPACK_PACKAGE_DESCRIPTION
    "Run from a folder beside a results folder, grade reads the results\n"
    "files of the four Lab 1 benchmarks, libq, bzip2, mcf and gcc, checks\n"
    "each of their 14 statistics against its expected value with a 1 %\n"
    "band, and prints the values read and the approximate score out of 5.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_FILE_NAME "grade-${PROJECT_VERSION}-linux-${arch}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
