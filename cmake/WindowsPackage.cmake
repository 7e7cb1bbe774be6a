# The Windows build's one deliverable: ZENOrA_intro-VERSION-win64.zip, holding
# exactly the program, its library and its music, side by side as a user
# keeps them (make windows).
set(ZENORA_ZIP ${CMAKE_BINARY_DIR}/ZENOrA_intro-${PROJECT_VERSION}-win64.zip)
add_custom_command(
  OUTPUT ${ZENORA_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${ZENORA_ZIP}.part
  COMMAND ${CMAKE_COMMAND} -E tar cf ${ZENORA_ZIP}.part --format=zip --mtime=2004-01-01
          $<TARGET_FILE_NAME:ZENOrA_intro> $<TARGET_FILE_NAME:bassmod> LIGHT.S3M
  COMMAND ${CMAKE_COMMAND} -E rename ${ZENORA_ZIP}.part ${ZENORA_ZIP}
  DEPENDS ZENOrA_intro bassmod ${CMAKE_BINARY_DIR}/LIGHT.S3M
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Packing ${ZENORA_ZIP}"
  VERBATIM)
add_custom_target(windows_zip ALL DEPENDS ${ZENORA_ZIP})
