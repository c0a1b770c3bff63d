# What each program in TGRAM_PROGRAMS gets besides its build:
#
# - installation into bin/ (on Windows: the installation folder itself);
# - its manual page, man/NAME.1.in configured with the version into
#   man/NAME.1 of the build folder and installed into share/man/man1/;
# - on Windows, a version resource and an application manifest;
# - tests: every option of its --help is in its manual page, and the page
#   passes the manual-page checkers found on the machine.
#
# The page's NAME line ("NAME \- what it does") is the program's one-line
# description wherever one is needed (the version resource, the Windows
# README.txt), so that a new program needs only its name in the list and its
# manual page.
#
# Install components: "programs" (the programs and manual pages), "docs"
# (README, licence and changelog into share/doc/tgraminterp/) and "package"
# (what only the release archives hold at their top: README, licence,
# changelog, the examples; never part of a plain install). The release
# archives are made by packaging/make-dist.sh from the components "programs"
# and "package".

include(GNUInstallDirs)

set(TGRAM_COPYRIGHT "Copyright (c) 2026 the tgraminterp authors")

# x.y[.z[.w]] -> "x,y,z,w" for the numeric fields of a version resource.
set(TGRAM_VERSION_QUAD "${PROJECT_VERSION_MAJOR}")
foreach(part MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    string(APPEND TGRAM_VERSION_QUAD ",0")
  else()
    string(APPEND TGRAM_VERSION_QUAD ",${PROJECT_VERSION_${part}}")
  endif()
endforeach()
string(REPLACE "," "." TGRAM_VERSION_DOTTED "${TGRAM_VERSION_QUAD}")

# The release archive's name (packaging/make-dist.sh reads it from the cache):
# tgraminterp-VERSION-SYSTEM-ARCHITECTURE.
string(TOLOWER "${CMAKE_SYSTEM_NAME}" tgram_system)
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" tgram_architecture)
if(tgram_architecture MATCHES "^(amd64|x64)$")
  set(tgram_architecture x86_64)
endif()
set(TGRAM_PACKAGE_NAME "${PROJECT_NAME}-${PROJECT_VERSION}-${tgram_system}-${tgram_architecture}"
    CACHE INTERNAL "The release archive's name, without extension")

if(WIN32)
  # A Windows program is run from its folder: no bin/ below it.
  set(TGRAM_PROGRAM_DESTINATION .)
else()
  set(TGRAM_PROGRAM_DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The one-line description on the NAME line of a manual page source.
function(tgram_program_description program page out)
  file(STRINGS ${page} name_line REGEX "^${program} \\\\- ")
  if(NOT name_line)
    message(FATAL_ERROR "${page}: no NAME line \"${program} \\- description\"")
  endif()
  string(REGEX REPLACE "^${program} \\\\- " "" description "${name_line}")
  set(${out} "${description}" PARENT_SCOPE)
endfunction()

function(tgram_package_program program)
  if(NOT TARGET ${program})
    message(FATAL_ERROR "TGRAM_PROGRAMS names ${program}, which is no target")
  endif()
  set(page_source ${PROJECT_SOURCE_DIR}/man/${program}.1.in)
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
  configure_file(${page_source} ${page} @ONLY)
  tgram_program_description(${program} ${page_source} description)

  install(TARGETS ${program} RUNTIME DESTINATION ${TGRAM_PROGRAM_DESTINATION} COMPONENT programs)
  if(NOT WIN32)
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)
  endif()

  if(WIN32)
    # The description, capitalised, as Windows shows it in the file's properties.
    string(SUBSTRING "${description}" 0 1 first)
    string(SUBSTRING "${description}" 1 -1 rest)
    string(TOUPPER "${first}" first)
    set(TGRAM_PROGRAM ${program})
    set(TGRAM_DESCRIPTION "${first}${rest}")
    set(manifest ${PROJECT_BINARY_DIR}/resources/${program}.manifest)
    set(TGRAM_MANIFEST ${manifest})
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.manifest.in ${manifest} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in
                   ${PROJECT_BINARY_DIR}/resources/${program}.rc @ONLY)
    target_sources(${program} PRIVATE ${PROJECT_BINARY_DIR}/resources/${program}.rc)
    set_source_files_properties(${PROJECT_BINARY_DIR}/resources/${program}.rc PROPERTIES
                                OBJECT_DEPENDS ${manifest})
  endif()

  set(TGRAM_PROGRAM_LINES ${TGRAM_PROGRAM_LINES} "${program}|${description}" PARENT_SCOPE)

  if(TGRAM_TESTS AND NOT CMAKE_CROSSCOMPILING AND Python3_FOUND)
    foreach(check Options Lint)
      add_test(NAME ManPage.${program}.${check}
               COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/man/man_page_test.py
                       ${check} --page ${page} --program $<TARGET_FILE:${program}>)
      set_tests_properties(ManPage.${program}.${check} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60)
    endforeach()
  endif()
endfunction()

if(TGRAM_TESTS)
  find_package(Python3 COMPONENTS Interpreter)
endif()
set(TGRAM_PROGRAM_LINES "")
foreach(program IN LISTS TGRAM_PROGRAMS)
  tgram_package_program(${program})
endforeach()

# Every program and nothing else: what `make run`, `make install` and
# `make dist` build (the tests stay for `make test`).
add_custom_target(programs)
add_dependencies(programs ${TGRAM_PROGRAMS})

# What a plain install adds beside the programs: the documents.
if(NOT WIN32)
  install(FILES README.md LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT docs)
endif()

# The top of a release archive.
if(WIN32)
  # A short README.txt with Windows line ends, listing the programs.
  set(TGRAM_PROGRAM_LIST "")
  foreach(line IN LISTS TGRAM_PROGRAM_LINES)
    string(REPLACE "|" ";" fields "${line}")
    list(GET fields 0 program)
    list(GET fields 1 description)
    string(LENGTH "${program}.exe" width)
    math(EXPR pad "18 - ${width}")
    string(REPEAT " " ${pad} padding)
    # configure_file's CRLF style changes only the template's line ends.
    string(APPEND TGRAM_PROGRAM_LIST "  ${program}.exe${padding}${description}\r\n")
  endforeach()
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in
                 ${PROJECT_BINARY_DIR}/package/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/package/README.txt DESTINATION . COMPONENT package EXCLUDE_FROM_ALL)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT package EXCLUDE_FROM_ALL)
else()
  install(FILES LICENSE CHANGELOG.md DESTINATION . COMPONENT package EXCLUDE_FROM_ALL)
endif()
install(FILES README.md Transiograms.png DESTINATION . COMPONENT package EXCLUDE_FROM_ALL)
install(DIRECTORY examples/ DESTINATION examples COMPONENT package EXCLUDE_FROM_ALL)

# The model file bundled with the example is the one the program is tested
# to write for it (the whole-program fixture of the same input).
if(TGRAM_TESTS)
  set(fixture ${PROJECT_SOURCE_DIR}/tests/e2e/meuse-soil-9-columns)
  set(example ${PROJECT_SOURCE_DIR}/examples/meuse-soil)
  add_test(NAME Example.MeuseSoil.Input
           COMMAND ${CMAKE_COMMAND} -E compare_files ${example}/ExpTgrams.txt ${fixture}/in/ExpTgrams.txt)
  add_test(NAME Example.MeuseSoil.Model
           COMMAND ${CMAKE_COMMAND} -E compare_files ${example}/TgramModels.txt
                   ${fixture}/out/files/TgramModels.txt)
endif()
