# The Wine runner of this build tree: build/<arch>/winerun runs cross-built
# programs under Wine in a prefix of the tree's own (build/<arch>/wineprefix),
# and is CTest's cross-compiling emulator, so that add_test(COMMAND <target>)
# and gtest_discover_tests(... DISCOVERY_MODE PRE_TEST) run through it.
# Included before any target is made: targets take the emulator when created.

set(SETUP_WINERUN ${CMAKE_BINARY_DIR}/winerun)
set(WINERUN_BUILD_DIR ${CMAKE_BINARY_DIR})
set(WINERUN_SCRIPT ${CMAKE_SOURCE_DIR}/tools/wine/winerun.sh)
configure_file(${CMAKE_SOURCE_DIR}/tools/wine/winerun.in ${SETUP_WINERUN}
    @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${SETUP_WINERUN})
endif()
