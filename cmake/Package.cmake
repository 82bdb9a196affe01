# The Debian package: `cpack -G DEB` in the build folder. It holds what `cmake --install`
# puts in place, at the same prefix, because the helper's unit, the desktop entry and the
# program itself name installed paths chosen at configure time (configure with
# -DCMAKE_INSTALL_PREFIX=/usr for a package of the system's own kind).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_CONTACT "Quillmere developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "disk-space analyzer that shows where the space went")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmere walks a volume concurrently, sizes every item by the bytes it really\n\
occupies on disk (hard links and clones counted once) and shows where the space\n\
went, as a map of rings or rectangles that can be drilled into. It removes only\n\
what the user ticks and confirms, and only to the Trash. An optional privileged\n\
helper, started by systemd, sizes folders the user may not open; it is installed\n\
turned off.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
# The libraries come from the binaries; what the program only opens at run time is named:
# the two fonts it loads by path, Qt's SVG icon and image plug-ins and the one reading
# application bundles' icons.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-inter, fonts-material-design-icons-iconfont, libqt6svg6, qt6-image-formats-plugins")
# A Wayland session without Qt's Wayland plug-in runs the window through XWayland; folders
# open in the desktop's handler through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/data/debian/postinst ${PROJECT_SOURCE_DIR}/data/debian/prerm
    ${PROJECT_SOURCE_DIR}/data/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
