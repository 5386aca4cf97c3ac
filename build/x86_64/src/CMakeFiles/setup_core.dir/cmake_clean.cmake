file(REMOVE_RECURSE
  "CMakeFiles/setup_core.dir/common/text.cpp.obj"
  "CMakeFiles/setup_core.dir/common/text.cpp.obj.d"
  "CMakeFiles/setup_core.dir/platform/dll_loading.cpp.obj"
  "CMakeFiles/setup_core.dir/platform/dll_loading.cpp.obj.d"
  "CMakeFiles/setup_core.dir/startup/session.cpp.obj"
  "CMakeFiles/setup_core.dir/startup/session.cpp.obj.d"
  "libsetup_core.a"
  "libsetup_core.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/setup_core.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
