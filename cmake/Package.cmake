# `make deb`: build/zenora-intro_VERSION_amd64.deb, the install layout under /usr.
# Only the intro is packaged: the capture tool is a developer's tool and would
# pull the GIF (and video) encoders into every user's system.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zenora-intro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "ZENOrA_intro developers <zenora-intro@example.org>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${ZENORA_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "old-school intro with a wireframe logo, stars and tracker music
A small borderless window of 320 x 189 pixels with a rotating wireframe
logo, a parallax star strip, a fading info line and tracker music.
Drag it with any mouse button; the glyph in its corner closes it.")
# Dependencies come from what the binaries link (dpkg-shlibdeps); the sound
# library is loaded by the program from its own folder, not found by the linker.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/DebDropLdconfig.cmake)
include(CPack)
