# Every folder builds the units it holds: a unit added as NAME.h / NAME.cpp is
# picked up without touching the build files.

# wombat_library(NAME DIR [EXCLUDE file...] [LINK target...])
# A static library of the .cpp files in DIR (less EXCLUDE), linked to LINK.
function(wombat_library name dir)
  cmake_parse_arguments(ARG "" "" "EXCLUDE;LINK" ${ARGN})
  set(dir ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(excluded IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${dir}/${excluded})
  endforeach()
  if(NOT sources)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_LINK})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LINK})
endfunction()

# wombat_test(NAME DIR [LINK target...])
# One GoogleTest executable of the .cpp files in DIR; skipped while DIR has none.
function(wombat_test name dir)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  set(dir ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LINK} GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    WOMBAT_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    WOMBAT_BINARY_DIR="${PROJECT_BINARY_DIR}")
  # Parameterised tests are named by their suites' name generators, never by
  # a dump of the parameter's bytes.
  gtest_discover_tests(${name}
    NO_PRETTY_VALUES
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
endfunction()
