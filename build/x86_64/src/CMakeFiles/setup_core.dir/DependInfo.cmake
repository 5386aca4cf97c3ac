
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  "/work/main/src/common/text.cpp" "src/CMakeFiles/setup_core.dir/common/text.cpp.obj" "gcc" "src/CMakeFiles/setup_core.dir/common/text.cpp.obj.d"
  "/work/main/src/platform/dll_loading.cpp" "src/CMakeFiles/setup_core.dir/platform/dll_loading.cpp.obj" "gcc" "src/CMakeFiles/setup_core.dir/platform/dll_loading.cpp.obj.d"
  "/work/main/src/startup/session.cpp" "src/CMakeFiles/setup_core.dir/startup/session.cpp.obj" "gcc" "src/CMakeFiles/setup_core.dir/startup/session.cpp.obj.d"
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")
