# The Debian package, built by CPack from the install rules (scripts/package.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillsnap)
set(CPACK_PACKAGE_VENDOR "The quillsnap developers")
set(CPACK_PACKAGE_CONTACT "quillsnap developers <quillsnap@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "copy the text of a screen region to the clipboard")
set(CPACK_PACKAGE_DESCRIPTION "quillsnap sits in the system tray of an X11 desktop. Drag out a region of
the screen and the text in it is recognised on this machine with
Tesseract, cleaned up and copied to the clipboard; QR codes and barcodes
are read as well. Captures are kept in an encrypted, searchable history.
quillsnap-cli runs its commands from scripts and keyboard shortcuts.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/quillsnap/quillsnap")
# Libraries through dpkg-shlibdeps; what is loaded at run time by name, here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "tesseract-ocr-eng")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS
  "tesseract-ocr-fra, tesseract-ocr-ita, tesseract-ocr-deu, tesseract-ocr-spa, tesseract-ocr-por, tesseract-ocr-rus, tesseract-ocr-ukr")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
