# GoogleTest built from the sources Debian ships in libgtest-dev, for targets (such as a
# cross build) that have no prebuilt GoogleTest. Defines the same GTest:: targets that
# find_package(GTest) does.
set(KORVEL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS "${KORVEL_GOOGLETEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "no GoogleTest sources in ${KORVEL_GOOGLETEST_SOURCE} (install libgtest-dev)")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${KORVEL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

foreach(library gtest gtest_main gmock gmock_main)
  # Our warning flags, and -Werror, are for our code only.
  set_target_properties(${library} PROPERTIES COMPILE_OPTIONS "")
  if(NOT TARGET GTest::${library})
    add_library(GTest::${library} ALIAS ${library})
  endif()
endforeach()
