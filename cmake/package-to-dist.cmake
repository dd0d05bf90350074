# Run by CPack after it has made the zip: copies it to dist/, where the README tells people to look, leaving
# CPack's staging folders behind in the build folder.
file(MAKE_DIRECTORY ${CPACK_TESSAVON_DIST_DIR})
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  file(COPY ${package} DESTINATION ${CPACK_TESSAVON_DIST_DIR})
  get_filename_component(name ${package} NAME)
  message(STATUS "Package: ${CPACK_TESSAVON_DIST_DIR}/${name}")
endforeach()
