# Installing kavelo (cmake --install, make install PREFIX=...) and packaging
# it as a .deb (cpack -G DEB, make deb): the tool, the setup runtime where the
# tool finds it, the manual pages (kavelo(1), kavelo-script(5)), the bash
# completion and the package's copyright and changelog.
include(GNUInstallDirs)

# The version of the package, from the program's own version (1.00 beta 2
# becomes 1.00~beta2, which sorts before 1.00).
file(STRINGS ${PROJECT_SOURCE_DIR}/src/res/ProgramVersion.h KAVELO_VERSION_LINE
     REGEX "kProgramVersion\\{")
string(REGEX MATCH "\\{([0-9]+), ([0-9]+), ([0-9]+)\\}" _ "${KAVELO_VERSION_LINE}")
set(KAVELO_PACKAGE_VERSION "${CMAKE_MATCH_1}.0${CMAKE_MATCH_2}")
string(LENGTH "${CMAKE_MATCH_2}" _minor_length)
if(_minor_length GREATER 1)
  set(KAVELO_PACKAGE_VERSION "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}")
endif()
if(NOT CMAKE_MATCH_3 EQUAL 0)
  string(APPEND KAVELO_PACKAGE_VERSION "~beta${CMAKE_MATCH_3}")
endif()

# Compressed as Debian wants them (gzip -9n: no name, no time stamp).
set(KAVELO_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
function(kavelo_gzip source output)
  add_custom_command(
    OUTPUT ${KAVELO_PACKAGING_OUT}/${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KAVELO_PACKAGING_OUT}
    COMMAND sh -c "gzip -9n -c '${source}' > '${KAVELO_PACKAGING_OUT}/${output}'"
    DEPENDS ${source}
    VERBATIM)
endfunction()
kavelo_gzip(${PROJECT_SOURCE_DIR}/docs/kavelo.1 kavelo.1.gz)
kavelo_gzip(${PROJECT_SOURCE_DIR}/docs/kavelomaker.1 kavelomaker.1.gz)
kavelo_gzip(${PROJECT_SOURCE_DIR}/docs/kavelo-script.5 kavelo-script.5.gz)
kavelo_gzip(${PROJECT_SOURCE_DIR}/packaging/changelog changelog.gz)
add_custom_target(kavelo_packaging_files ALL
  DEPENDS ${KAVELO_PACKAGING_OUT}/kavelo.1.gz ${KAVELO_PACKAGING_OUT}/kavelomaker.1.gz
          ${KAVELO_PACKAGING_OUT}/kavelo-script.5.gz
          ${KAVELO_PACKAGING_OUT}/changelog.gz)

# The runtime is a data file, not a command: it goes to lib/kavelo/ beside
# the folder of the program, where the tool looks when there is no data file
# beside it (/usr/bin/kavelo reads /usr/lib/kavelo/kavelo.dat).
install(TARGETS kavelo RUNTIME DESTINATION bin)
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/kavelo.dat DESTINATION lib/kavelo)
install(FILES ${KAVELO_PACKAGING_OUT}/kavelo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KAVELO_PACKAGING_OUT}/kavelo-script.5.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
if(TARGET kavelomaker)
  install(FILES ${KAVELO_PACKAGING_OUT}/kavelomaker.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/kavelo.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kavelo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${KAVELO_PACKAGING_OUT}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kavelomaker)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavelomaker)
set(CPACK_PACKAGE_VERSION ${KAVELO_PACKAGE_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "KaveloMaker authors <kavelomaker@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "builds installers: setups in one executable file")
set(CPACK_PACKAGE_DESCRIPTION
    "KaveloMaker makes a setup executable from a description of the setup - its\n"
    "caption, side picture, licence, folders, texts, files and a script of\n"
    "components - and opens it again to edit it. This package holds kavelo, the\n"
    "command-line tool that builds, inspects and tries setups without a display,\n"
    "and the setup runtime at the front of every setup it writes.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")
find_program(KAVELO_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KAVELO_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()
include(CPack)
