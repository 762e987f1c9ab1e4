# What `cmake --install` puts into the prefix, and the Debian package CPack makes of it:
#   bin/pxhost                          the host program
#   lib/zephra/libpxzp_lx.so            the keyer plug-in, found by pxhost relative to itself
#   lib/zephra/libpxsdk_lx.so           the host SDK the program and the plug-in link with
#   include/zephra/api/zephra.h, include/zephra/engine/{Ztile.h,ZephraExport.h}: the C interface
#   share/doc/zephra/                   README, user guide, and the example scripts
# The libraries live in a folder of their own: they are the program's, not the system's.
set(PXZ_INSTALL_LIBDIR lib/zephra)

if(TARGET pxhost_core)
  target_compile_definitions(pxhost_core PRIVATE
    PXZ_INSTALLED_PLUGIN_FOLDER="../${PXZ_INSTALL_LIBDIR}")
endif()
if(TARGET pxhost)
  install(TARGETS pxhost RUNTIME DESTINATION bin)
  set_target_properties(pxhost PROPERTIES INSTALL_RPATH "$ORIGIN/../${PXZ_INSTALL_LIBDIR}")
endif()
install(TARGETS pxzp_lx pxsdk_lx LIBRARY DESTINATION ${PXZ_INSTALL_LIBDIR})
install(FILES api/zephra.h DESTINATION include/zephra/api)
install(FILES engine/Ztile.h engine/ZephraExport.h DESTINATION include/zephra/engine)
install(FILES README.md docs/user-guide.md DESTINATION share/doc/zephra)
install(DIRECTORY examples/ DESTINATION share/doc/zephra/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zephra)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "blue- and green-screen keyer: the pxhost compositing host and the keyer plug-in")
set(CPACK_PACKAGE_CONTACT "Zephra developers <zephra@localhost>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# Depends is worked out from the libraries the program and the plug-in link with; the package's
# own libraries (lib/zephra) are found through the program's run path.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
