
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  "RC"
  )
# The set of files for implicit dependencies of each language:
set(CMAKE_DEPENDS_CHECK_RC
  "/work/main/res/setup.rc" "/work/main/build/x86_64/res/CMakeFiles/setup_resources.dir/setup.rc.res"
  )

# Preprocessor definitions for this target.
set(CMAKE_TARGET_DEFINITIONS_RC
  "NOMINMAX"
  "WIN32_LEAN_AND_MEAN"
  "WINVER=0x0601"
  "_WIN32_WINNT=0x0601"
  )

# The include file search paths:
set(CMAKE_RC_TARGET_INCLUDE_PATH
  "/work/main/include"
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")
