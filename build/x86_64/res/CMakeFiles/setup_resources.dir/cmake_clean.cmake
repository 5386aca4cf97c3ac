file(REMOVE_RECURSE
  "CMakeFiles/setup_resources.dir/setup.rc.res"
)

# Per-language clean rules from dependency scanning.
foreach(lang RC)
  include(CMakeFiles/setup_resources.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
