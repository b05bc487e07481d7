# Run by CPack's External generator on the staged install, one folder per
# component: packs them into kelpwax-<version>-linux-<processor>.tar.gz under
# one top folder. CPack's own archive generators cannot store the glyph named
# "\.png" (they take the backslash for a path separator); cmake -E tar stores
# every name as it is.
get_filename_component(packing ${CPACK_TEMPORARY_DIRECTORY}/../archive ABSOLUTE)
set(top ${packing}/${CPACK_PACKAGE_FILE_NAME})
file(REMOVE_RECURSE ${packing})
file(MAKE_DIRECTORY ${top})
foreach(component ${CPACK_COMPONENTS_ALL})
  file(GLOB entries RELATIVE ${CPACK_TEMPORARY_DIRECTORY}/${component} ${CPACK_TEMPORARY_DIRECTORY}/${component}/*)
  foreach(entry ${entries})
    file(RENAME ${CPACK_TEMPORARY_DIRECTORY}/${component}/${entry} ${top}/${entry})
  endforeach()
endforeach()
set(archive ${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.tar.gz)
execute_process(COMMAND ${CPACK_KELPWAX_CMAKE_COMMAND} -E tar czf ${archive} ${CPACK_PACKAGE_FILE_NAME}
                WORKING_DIRECTORY ${packing} COMMAND_ERROR_IS_FATAL ANY)
set(CPACK_EXTERNAL_BUILT_PACKAGES ${archive})
