# What `cmake --install build --prefix P` (or `make install`) lays out:
#   P/lib/zenora-intro/       the program folder: ZENOrA_intro, libbassmod.so, LIGHT.S3M
#   P/bin/zenora-intro        a launcher that starts the program in that folder
#   P/share/applications/     the desktop entry
#   P/share/icons/hicolor/    the icon in 16, 32 and 48 pixels
# The program finds the library and the music beside itself, so the folder
# stays whole; the launcher finds it relative to its own location, so the
# whole tree can be moved to another prefix.
set(ZENORA_PROGRAM_DIR lib/zenora-intro)

install(TARGETS ZENOrA_intro RUNTIME DESTINATION ${ZENORA_PROGRAM_DIR})
install(TARGETS bassmod LIBRARY DESTINATION ${ZENORA_PROGRAM_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/assets/LIGHT.S3M DESTINATION ${ZENORA_PROGRAM_DIR})

configure_file(${CMAKE_SOURCE_DIR}/tools/zenora-intro.in ${CMAKE_BINARY_DIR}/launcher/zenora-intro @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/launcher/zenora-intro DESTINATION bin)

install(FILES ${CMAKE_SOURCE_DIR}/assets/zenora-intro.desktop DESTINATION share/applications)
foreach(size 16 32 48)
  install(FILES ${CMAKE_SOURCE_DIR}/assets/icons/zenora-intro-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps
          RENAME zenora-intro.png)
endforeach()
