src/CMakeFiles/setup_core.dir/common/text.cpp.obj: \
 /work/main/src/common/text.cpp /work/main/include/text.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/stdarg.h \
 /usr/share/mingw-w64/include/stdarg.h \
 /usr/share/mingw-w64/include/_mingw_stdarg.h \
 /usr/share/mingw-w64/include/vadefs.h \
 /usr/share/mingw-w64/include/_mingw.h \
 /usr/share/mingw-w64/include/_mingw_mac.h \
 /usr/share/mingw-w64/include/_mingw_secapi.h \
 /usr/share/mingw-w64/include/sdks/_mingw_ddk.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/stddef.h \
 /usr/share/mingw-w64/include/stddef.h \
 /usr/share/mingw-w64/include/crtdefs.h \
 /usr/share/mingw-w64/include/corecrt.h \
 /usr/share/mingw-w64/include/string.h \
 /usr/share/mingw-w64/include/sec_api/string_s.h
