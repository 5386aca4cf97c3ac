
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  "/work/main/src/platform/platform_calls.cpp" "src/CMakeFiles/setup.dir/platform/platform_calls.cpp.obj" "gcc" "src/CMakeFiles/setup.dir/platform/platform_calls.cpp.obj.d"
  "/work/main/src/startup/main.cpp" "src/CMakeFiles/setup.dir/startup/main.cpp.obj" "gcc" "src/CMakeFiles/setup.dir/startup/main.cpp.obj.d"
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  "/work/main/build/x86_64/src/CMakeFiles/setup_core.dir/DependInfo.cmake"
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")
