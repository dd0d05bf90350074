# Makes the Windows zip afresh and unpacks it into an empty folder, as a candidate would before starting the
# program, so the tests that follow see exactly what the zip holds.
# Usage: cmake -DBUILD_DIR=... -DPACKAGE=... -DUNPACK_DIR=... -P unpack_package.cmake
foreach(var BUILD_DIR PACKAGE UNPACK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "unpack_package.cmake needs -D${var}=...")
  endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target package RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "building the package failed: ${result}")
endif()
if(NOT EXISTS ${PACKAGE})
  message(FATAL_ERROR "the package was built but ${PACKAGE} is not there")
endif()

file(REMOVE_RECURSE ${UNPACK_DIR})
file(MAKE_DIRECTORY ${UNPACK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${PACKAGE} WORKING_DIRECTORY ${UNPACK_DIR} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "unpacking ${PACKAGE} failed: ${result}")
endif()
message(STATUS "Unpacked ${PACKAGE} into ${UNPACK_DIR}")
