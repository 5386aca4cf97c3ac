file(REMOVE_RECURSE
  "CMakeFiles/setup.dir/platform/platform_calls.cpp.obj"
  "CMakeFiles/setup.dir/platform/platform_calls.cpp.obj.d"
  "CMakeFiles/setup.dir/startup/main.cpp.obj"
  "CMakeFiles/setup.dir/startup/main.cpp.obj.d"
  "libsetup.dll.a"
  "setup.exe"
  "setup.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX RC)
  include(CMakeFiles/setup.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
