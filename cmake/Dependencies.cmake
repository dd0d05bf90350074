# Third-party code: nlohmann/json and GoogleTest, both from Debian's packages.

# Only the nlohmann headers may be seen by the cross compiler: /usr/include as a whole would shadow the MinGW C
# headers, so expose a folder that holds nothing but a link to them.
set(NLOHMANN_JSON_HEADER_DIR /usr/include/nlohmann)
if(NOT EXISTS ${NLOHMANN_JSON_HEADER_DIR}/json.hpp)
  message(FATAL_ERROR "nlohmann/json headers not found in ${NLOHMANN_JSON_HEADER_DIR} (package nlohmann-json3-dev)")
endif()
set(NLOHMANN_INCLUDE_ROOT ${CMAKE_BINARY_DIR}/third_party/include)
file(MAKE_DIRECTORY ${NLOHMANN_INCLUDE_ROOT})
file(CREATE_LINK ${NLOHMANN_JSON_HEADER_DIR} ${NLOHMANN_INCLUDE_ROOT}/nlohmann SYMBOLIC)
add_library(nlohmann_json_headers INTERFACE)
target_include_directories(nlohmann_json_headers SYSTEM INTERFACE ${NLOHMANN_INCLUDE_ROOT})

# GoogleTest built from Debian's sources with the same cross compiler.
set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
