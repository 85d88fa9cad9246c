# One Debian package with both programs, the icon and the menu entry:
# cpack -G DEB in a build folder (tools/deb-package makes one and checks it
# with lintian). Dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME imgconvert)
set(CPACK_PACKAGE_VENDOR "ImgConvert maintainers")
set(CPACK_PACKAGE_CONTACT "ImgConvert maintainers <maintainers@users.noreply.c-seed-64ab1196.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch picture converter (BMP, JPEG, PNG, WebP)")
set(CPACK_PACKAGE_DESCRIPTION "Converts pictures between BMP, JPG, JPEG and PNG (imgbatch also WebP)
in batches, a folder and its subfolders at once, with an optional shrink
and rotation, keeping transparency, grey and the colour profile where the
target can hold them. The window (ImgConvert) speaks simplified Chinese;
imgbatch runs the same engine from the command line.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own simplified-Chinese words for its buttons and dialogs, and a font
# that has the interface's characters.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)

# The files Debian's policy asks of every package.
include(GNUInstallDirs)
set(doc ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${doc})
execute_process(COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.Debian.gz DESTINATION ${doc})
include(CPack)
