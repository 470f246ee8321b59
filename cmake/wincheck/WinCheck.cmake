# Windows compile check (./build.sh wincheck, preset "wincheck"): the whole
# project, tests included, compiled with MinGW-w64 against the Linux Qt 6
# headers. Libraries are archived; executables are not linked (there are no
# Windows Qt libraries here). CheckSymbols.sh then finds the project's own
# symbols that some object uses and none defines: the link errors a Windows
# build would have.
if(NOT WIN32)
  message(FATAL_ERROR "MP_WINDOWS_COMPILE_CHECK needs the MinGW-w64 toolchain "
                      "(cmake --preset wincheck)")
endif()
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/modules)
set(Qt6_DIR ${CMAKE_CURRENT_LIST_DIR}/Qt6 CACHE PATH "Qt 6 headers for the Windows compile check" FORCE)
set(CMAKE_CXX_LINK_EXECUTABLE "${CMAKE_COMMAND} -E touch <TARGET>")
set(CMAKE_C_LINK_EXECUTABLE "${CMAKE_COMMAND} -E touch <TARGET>")
