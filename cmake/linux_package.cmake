# The Linux packages, made by CPack (scripts/package-linux.sh): a .deb that
# installs under /usr and a .tar.gz that runs from wherever it is unpacked.
# Both hold the same tree: the programs in bin/, the show's data in
# share/kelpwax/ (where the programs look, relative to themselves), a desktop
# entry for each program, the icon in the hicolor theme, and a README.

# Installing builds nothing: scripts/package-linux.sh builds what is installed,
# so a package needs neither the tests nor the benchmarks built.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
install(TARGETS kelpwax kelpwax-fullscreen RUNTIME DESTINATION bin COMPONENT show)
install(DIRECTORY ${KELPWAX_DATA_DIR}/ DESTINATION share/kelpwax COMPONENT show PATTERN .generated EXCLUDE)
install(DIRECTORY ${KELPWAX_DESKTOP_ICONS_DIR} DESTINATION share/icons COMPONENT show
        PATTERN .generated EXCLUDE)

foreach(DESKTOP_PROGRAM kelpwax kelpwax-fullscreen)
  if(DESKTOP_PROGRAM STREQUAL "kelpwax")
    set(DESKTOP_NAME "kelpwax")
  else()
    set(DESKTOP_NAME "kelpwax (full screen)")
  endif()
  configure_file(platform/linux/kelpwax.desktop.in ${CMAKE_BINARY_DIR}/package/${DESKTOP_PROGRAM}.desktop @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/package/${DESKTOP_PROGRAM}.desktop DESTINATION share/applications
          COMPONENT show)
endforeach()

configure_file(platform/linux/README.package.in ${CMAKE_BINARY_DIR}/package/README @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/README DESTINATION share/doc/kelpwax COMPONENT show)
# The archive also has the README at its top, where someone who unpacks it looks first.
install(FILES ${CMAKE_BINARY_DIR}/package/README DESTINATION . COMPONENT archive-readme EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_NAME kelpwax)
set(CPACK_PACKAGE_VENDOR kelpwax)
set(CPACK_PACKAGE_CONTACT "kelpwax developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-running real-time audio-visual show")
set(CPACK_PACKAGE_DESCRIPTION "One window, one music track, and in step with it a pulsing background,
an underwater backdrop, a spinning record, tumbling cubes, a submarine and
scrolling text; about 160 seconds, or until a key is pressed.")
set(CPACK_PACKAGE_FILE_NAME kelpwax-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_STRIP_FILES ON)
# The .tar.gz comes from the External generator: cmake/linux_archive.cmake packs
# CPack's staged install, as CPack's own archive generators cannot.
set(CPACK_GENERATOR DEB External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/linux_archive.cmake)
set(CPACK_KELPWAX_CMAKE_COMMAND ${CMAKE_COMMAND})
set(CPACK_COMPONENTS_ALL show archive-readme)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/linux_package_generators.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# The libraries the programs link (SDL2, libepoxy, the C++ runtime) and their
# versions come from dpkg-shlibdeps, so they follow whatever the build linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
