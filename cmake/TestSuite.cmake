# Whether the test suite is built, in VARNEL_TESTING. BUILD_TESTING (CTest's
# switch) decides when given: ON requires GoogleTest, OFF leaves the suite out.
# Left unset, the suite is built when GoogleTest is found, so that a plain
# `cmake -S . -B build` works on a machine with a compiler and CMake alone.
if(NOT DEFINED BUILD_TESTING)
  find_package(GTest QUIET)
  set(VARNEL_TESTING ${GTest_FOUND})
  if(NOT GTest_FOUND)
    message(STATUS "GoogleTest not found: the test suite is skipped "
                   "(install libgtest-dev, or configure with -DBUILD_TESTING=ON to require it)")
  endif()
elseif(BUILD_TESTING)
  find_package(GTest QUIET)
  if(NOT GTest_FOUND)
    message(FATAL_ERROR "BUILD_TESTING is ON but GoogleTest was not found. Install it "
                        "(Debian package libgtest-dev; scripts/deps.sh test installs everything the "
                        "suite needs) or configure with -DBUILD_TESTING=OFF.")
  endif()
  set(VARNEL_TESTING ON)
else()
  set(VARNEL_TESTING OFF)
endif()
