# What `cmake --install build --prefix P` (or `make install`) lays out:
#   P/lib/zenora-intro/       the program folder: ZENOrA_intro, libbassmod.so, LIGHT.S3M
#   P/bin/zenora-intro        a launcher that starts the program in that folder
#   P/share/applications/     the desktop entry, named after the application's id
#   P/share/metainfo/         the AppStream description software centres show
#   P/share/icons/hicolor/    the icon in 16, 32 and 48 pixels
#   P/share/man/man6/         the launcher's manual page
#   P/share/doc/zenora-intro/ copyright and changelog
# The program finds the library and the music beside itself, so the folder
# stays whole; the launcher finds it relative to its own location, so the
# whole tree can be moved to another prefix.
set(ZENORA_PROGRAM_DIR lib/zenora-intro)
# The application's id on desktops and in software centres: once published it
# must never change. The home page carries the screenshot software centres show.
set(ZENORA_APP_ID org.example.zenora_intro)
set(ZENORA_HOMEPAGE https://example.org/zenora-intro)
# Files other than folders need rw-r--r--, folders rwxr-xr-x, whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The changelog's newest entry names the version and its day; the project
# version must be that one, so a release never ships an outdated changelog.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog)
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog changelog_heads REGEX "^zenora-intro \\(")
list(GET changelog_heads 0 changelog_head)
string(REGEX MATCH "\\(([^)]*)\\)" _ "${changelog_head}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog starts at ${CMAKE_MATCH_1}: add an entry for ${PROJECT_VERSION}")
endif()
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog changelog_signoffs REGEX "^ -- ")
list(GET changelog_signoffs 0 changelog_signoff)
string(REGEX MATCH "([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+)" _ "${changelog_signoff}")
set(day ${CMAKE_MATCH_1})
set(year ${CMAKE_MATCH_3})
string(FIND "JanFebMarAprMayJunJulAugSepOctNovDec" ${CMAKE_MATCH_2} month)
math(EXPR month "${month} / 3 + 1")
string(REGEX REPLACE "^(.)$" "0\\1" month "${month}")
string(REGEX REPLACE "^(.)$" "0\\1" day "${day}")
set(ZENORA_RELEASE_DATE "${year}-${month}-${day}")

install(TARGETS ZENOrA_intro RUNTIME DESTINATION ${ZENORA_PROGRAM_DIR})
install(TARGETS bassmod LIBRARY DESTINATION ${ZENORA_PROGRAM_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/assets/LIGHT.S3M DESTINATION ${ZENORA_PROGRAM_DIR})

configure_file(${CMAKE_SOURCE_DIR}/tools/zenora-intro.in ${CMAKE_BINARY_DIR}/launcher/zenora-intro @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/launcher/zenora-intro DESTINATION bin)

install(FILES ${CMAKE_SOURCE_DIR}/assets/zenora-intro.desktop DESTINATION share/applications
        RENAME ${ZENORA_APP_ID}.desktop)
configure_file(${CMAKE_SOURCE_DIR}/assets/zenora-intro.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/launcher/${ZENORA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/launcher/${ZENORA_APP_ID}.metainfo.xml DESTINATION share/metainfo)
foreach(size 16 32 48)
  install(FILES ${CMAKE_SOURCE_DIR}/assets/icons/zenora-intro-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps
          RENAME zenora-intro.png)
endforeach()

# Manual page and changelog compressed as Debian keeps them: best, no name or time stamp.
set(docs ${CMAKE_BINARY_DIR}/docs)
foreach(doc docs/zenora-intro.6 packaging/changelog)
  get_filename_component(name ${doc} NAME)
  add_custom_command(
    OUTPUT ${docs}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/${doc} ${docs}/${name}
    COMMAND gzip -9nf ${docs}/${name}
    DEPENDS ${CMAKE_SOURCE_DIR}/${doc}
    VERBATIM)
  list(APPEND compressed_docs ${docs}/${name}.gz)
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${compressed_docs})
install(FILES ${docs}/zenora-intro.6.gz DESTINATION share/man/man6)
install(FILES ${docs}/changelog.gz ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/zenora-intro)
