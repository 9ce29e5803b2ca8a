# What a release is made of: the manual page and the Debian changelog,
# which take the version from project() and the date from the newest entry
# of CHANGELOG.md; the install rules; and, with GRADE_PACKAGING, the target
# packages, which makes from them a Debian package, an RPM package and a
# tarball, the last two with a static grade, the same bit for bit wherever
# and whenever they are made.

# The newest entry: its heading "## VERSION - YYYY-MM-DD", and its items
# as the Debian changelog writes them, "- " becoming "  * ".
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md changelog)
# An edit of it configures anew, so that what is made from it follows.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
set(heading "")
set(items "")
set(rpmItems "")
foreach(line IN LISTS changelog)
  if(line MATCHES "^## ")
    if(heading)
      break()
    endif()
    set(heading "${line}")
  elseif(heading AND NOT line STREQUAL "")
    # An RPM changelog keeps the items as they stand, "%" doubled.
    string(REPLACE "%" "%%" rpmLine "${line}")
    string(APPEND rpmItems "${rpmLine}\n")
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
set(dayOfMonth ${CMAKE_MATCH_4})
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

# The RPM package's changelog entry, dated "Tue Dec 08 2026".
set(GRADE_RPM_CHANGELOG "* ${weekday} ${monthName} ${dayOfMonth} ${year} \
${GRADE_MAINTAINER} - ${PROJECT_VERSION}-1\n${rpmItems}")

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

if(NOT GRADE_PACKAGING)
  return()
endif()

# The release date in seconds since 1970, the time of every file in the
# packages unless SOURCE_DATE_EPOCH says otherwise: days from the civil
# date, counted in 400-year eras from 1 March 0000.
set(y ${year})
math(EXPR m "${month} + 9")
if(month GREATER 2)
  math(EXPR m "${month} - 3")
else()
  math(EXPR y "${year} - 1")
endif()
math(EXPR era "${y} / 400")
math(EXPR yoe "${y} - ${era} * 400")
math(EXPR doe "${yoe} * 365 + ${yoe} / 4 - ${yoe} / 100 + (153 * ${m} + 2) / 5 + ${day} - 1")
math(EXPR GRADE_RELEASE_EPOCH "(${era} * 146097 + ${doe} - 719468) * 86400")

# The target's names: Debian's architecture (amd64, arm64) from the
# compiler's GNU type, and the processor (x86_64, aarch64) for the tarball.
find_program(DPKG_ARCHITECTURE dpkg-architecture REQUIRED)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
                OUTPUT_VARIABLE gnuType OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${DPKG_ARCHITECTURE} -t${gnuType} -qDEB_HOST_ARCH
                OUTPUT_VARIABLE GRADE_DEB_ARCH ERROR_QUIET
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(GRADE_DEB_ARCH STREQUAL "")
  message(FATAL_ERROR "dpkg-architecture knows no Debian architecture "
                      "for ${gnuType}")
endif()
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" GRADE_TAR_ARCH)

set(GRADE_PACKAGE_DIR ${PROJECT_BINARY_DIR}/packages
    CACHE PATH "Where the packages and their SHA256SUMS go")

# The tarball's grade is linked statically, so that it runs on any Linux
# of its processor; hardened, it is a static PIE where the tool chain
# makes one.
add_executable(grade_static src/grade.cc)
target_link_libraries(grade_static PRIVATE grade_core)
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_LINK_OPTIONS -static-pie)
check_cxx_source_compiles("int main() { return 0; }" GRADE_STATIC_PIE)
unset(CMAKE_REQUIRED_LINK_OPTIONS)
if(GRADE_HARDEN AND GRADE_STATIC_PIE)
  # Last on the link line: a -pie after it would make grade dynamic again.
  target_link_libraries(grade_static PRIVATE -static-pie)
else()
  set_target_properties(grade_static PROPERTIES POSITION_INDEPENDENT_CODE OFF)
  target_link_options(grade_static PRIVATE -static)
endif()

string(CONCAT GRADE_DESCRIPTION
       " Run from a folder beside a results folder, grade reads the results\n"
       " files of the four Lab 1 benchmarks, libq, bzip2, mcf and gcc, checks\n"
       " each of their 14 statistics against its expected value with a 1 %\n"
       " band, and prints the values read and the approximate score out of 5.")

# What rpmbuild is given for the RPM package: the files of a tree that
# package.cmake fills, in the places an RPM-based system keeps them, with
# the description (without the Debian indent) and the changelog entry.
# Nothing is compiled for it: grade is the tarball's static one, stripped
# already, so that it runs on RHEL 8's older C library as on Fedora, and
# needs no library at all.
find_program(RPMBUILD rpmbuild REQUIRED)
string(REGEX REPLACE "(^|\n) " "\\1" rpmDescription "${GRADE_DESCRIPTION}")
string(REPLACE "%" "%%" rpmDescription "${rpmDescription}")
file(WRITE ${PROJECT_BINARY_DIR}/rpm/grade.rpmbuild "\
Name: grade
Version: ${PROJECT_VERSION}
Release: 1
Summary: Grader for the results files of Lab 1
License: MIT
Group: Development/Tools
Packager: ${GRADE_MAINTAINER}
AutoReqProv: no

%description
${rpmDescription}

%install
cp -pR ${PROJECT_BINARY_DIR}/packaging/rpm/root/. %{buildroot}

%files
%defattr(0644,root,root,0755)
%attr(0755,root,root) /usr/bin/grade
/usr/share/man/man1/grade.1.gz
%dir /usr/share/doc/grade
%doc /usr/share/doc/grade/README.md
%dir /usr/share/licenses/grade
%license /usr/share/licenses/grade/LICENSE

%changelog
${GRADE_RPM_CHANGELOG}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/package.cmake.in
               ${PROJECT_BINARY_DIR}/package.cmake @ONLY)
add_custom_target(packages
  COMMAND ${CMAKE_COMMAND} -DSTATIC_GRADE=$<TARGET_FILE:grade_static>
          -P ${PROJECT_BINARY_DIR}/package.cmake
  VERBATIM)
add_dependencies(packages grade grade_static documents)
