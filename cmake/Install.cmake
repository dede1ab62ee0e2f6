# Installation where a Debian user looks for things (GNUInstallDirs):
#   libraries   <prefix>/lib (lib/<multiarch> under /usr), each finding its
#               siblings beside it ($ORIGIN)
#   headers     <prefix>/include/vrx/ (the records, ordinals and host
#               interface a host is written against)
#   vrxwm       <prefix>/bin, loading the plug-in from the library folder
#   pkg-config  <prefix>/lib/.../pkgconfig/vrxwinmedia.pc: Cflags for the
#               headers, and the plug-in's path as the variable "plugin"
#               (hosts dlopen it rather than link it)
#
#   cmake --install build [--prefix /usr/local]
#
# Included by the top-level CMakeLists.txt after every target is defined.

install(TARGETS VRXWin32 VRXWMVCore VRXVelmoraSysU VRXVelmoraIOU VRXProxyCodecU VRXPlugWinMediaCodecU
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(TARGET vrxwm)
    install(TARGETS vrxwm RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/vrx
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")

# The prefix is the one given at install time (cmake --install --prefix),
# so the file is filled in then, not when the build is configured.
file(WRITE ${PROJECT_BINARY_DIR}/vrxwinmedia.pc.in [=[prefix=@prefix@
exec_prefix=${prefix}
libdir=${prefix}/@VRX_PC_LIBDIR@
includedir=${prefix}/@VRX_PC_INCLUDEDIR@
plugin=${libdir}/libVRXPlugWinMediaCodecU.so

Name: vrxwinmedia
Description: Windows Media (ASF) reader and writer plug-in, loaded with dlopen and reached by ordinal
Version: @VRX_PC_VERSION@
Cflags: -I${includedir}
Libs: -ldl
]=])
install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    set(VRX_PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
    set(VRX_PC_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
    set(VRX_PC_VERSION \"${PROJECT_VERSION}\")
    configure_file(\"${PROJECT_BINARY_DIR}/vrxwinmedia.pc.in\" \"${PROJECT_BINARY_DIR}/vrxwinmedia.pc\" @ONLY)
")
install(FILES ${PROJECT_BINARY_DIR}/vrxwinmedia.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
