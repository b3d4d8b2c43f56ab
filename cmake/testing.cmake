# GoogleTest: Debian's packages natively; built from Debian's sources for Windows.
if(WIN32)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# One line registers a test program. Natively every test case is its own ctest
# entry; under Wine a program is one entry, since each start costs Wine a process.
function(kav_add_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE kav_test_support GTest::gtest_main kav_options)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
