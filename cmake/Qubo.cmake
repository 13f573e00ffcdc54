# Helpers shared by every folder.
#
# qubo_library(NAME [DEPS targets...])
#   A static library qubo_NAME from every .cpp in the calling folder (new files are picked up
#   at the next build). Headers are included as "NAME/file.h" from src/.
# qubo_test(NAME [DEPS targets...])
#   A GoogleTest binary test_NAME from every .cpp in the calling folder, registered with CTest.

set(QUBO_WARNINGS -Wall -Wextra)

function(qubo_library name)
  cmake_parse_arguments(Q "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    # A folder with headers only so far.
    add_library(qubo_${name} INTERFACE)
    target_include_directories(qubo_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(qubo_${name} INTERFACE ${Q_DEPS})
    return()
  endif()
  add_library(qubo_${name} STATIC ${srcs})
  target_include_directories(qubo_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
  target_compile_options(qubo_${name} PRIVATE ${QUBO_WARNINGS})
  target_link_libraries(qubo_${name} PUBLIC ${Q_DEPS})
  set_property(GLOBAL APPEND PROPERTY QUBO_LIBRARIES qubo_${name})
endfunction()

function(qubo_test name)
  cmake_parse_arguments(Q "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(test_${name} ${srcs})
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(test_${name} PRIVATE ${QUBO_WARNINGS})
  target_link_libraries(test_${name} PRIVATE ${Q_DEPS} qubo_testkit GTest::gtest GTest::gtest_main)
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    PROPERTIES ENVIRONMENT "QUBO_TEST_OUT=${PROJECT_BINARY_DIR}/test-out")
endfunction()
