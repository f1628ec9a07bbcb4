# The Debian package: `cpack -G DEB` in the build folder makes
# quillora_1.0_<arch>.deb with both programs, the help file, the desktop entry,
# the icons, the metainfo and the manual page.
set(CPACK_PACKAGE_NAME quillora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quillora)
set(CPACK_PACKAGE_CONTACT "Quillora <suporte@quillora.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch image converter for BMP, JPEG and ICO files")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillora converts lists of pictures in four modes (BMP to JPEG, JPEG to BMP, ICO to BMP, ICO to JPEG), extracts the icons of Windows programs and captures the desktop. quillora-convert converts the same way without a window.")
set(CPACK_PACKAGE_HOMEPAGE_URL https://quillora.app)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The libraries the programs link, found by dpkg-shlibdeps; the Qt platform
# and picture plugins and the help viewer are loaded at run time, so named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland, xchm, xdg-desktop-portal")
include(CPack)
