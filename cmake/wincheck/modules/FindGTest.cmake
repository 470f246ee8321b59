# GoogleTest for the Windows compile check: the Linux package's headers.
include(${CMAKE_CURRENT_LIST_DIR}/MpWinCheckHeaders.cmake)
foreach(target GTest::gtest GTest::gtest_main GTest::gmock GTest::gmock_main GTest::GTest GTest::Main)
  mp_wincheck_interface(${target})
endforeach()
set(GTest_FOUND TRUE)
set(GTEST_FOUND TRUE)
set(GTEST_INCLUDE_DIRS ${MP_WINCHECK_INCLUDE})
