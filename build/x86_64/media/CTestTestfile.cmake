# CMake generated Testfile for 
# Source directory: /work/main/media
# Build directory: /work/main/build/x86_64/media
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
