# Read by CPack for each generator: one package or archive each, the .deb
# without the archive's top-level README (Debian keeps it in /usr/share/doc).
set(CPACK_DEB_COMPONENT_INSTALL OFF)
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL show)
endif()
