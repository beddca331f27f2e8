# replyvane_layer(NAME [DEPS...]): one static library per layer folder, made of
# every .cpp in it. A layer without sources yet is an interface target.
function(replyvane_layer name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# Tests never reach the desktop's session bus, and so never its secret store:
# the one test that needs a bus starts its own.
set(REPLYVANE_TEST_ENVIRONMENT "DBUS_SESSION_BUS_ADDRESS=disabled:")

# replyvane_gtest(NAME SOURCES... LIBS ...): a GoogleTest program run by CTest.
function(replyvane_gtest name)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT arg_SOURCES)
    return()
  endif()
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest GTest::gtest_main
                                        GTest::gmock)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 900
                       ENVIRONMENT "${REPLYVANE_TEST_ENVIRONMENT}")
endfunction()
