# CMake generated Testfile for 
# Source directory: /work/main
# Build directory: /work/main/build/x86_64
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
subdirs("res")
subdirs("src")
subdirs("tools")
subdirs("media")
subdirs("bench")
subdirs("tests")
