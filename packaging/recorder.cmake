# kovrecorder's systemd unit (installed, not enabled), its settings file and
# its manual page (compressed without a time stamp, as Debian's policy asks).
install(FILES kovrecorder.service DESTINATION lib/systemd/system)
install(FILES kovrecorder.default DESTINATION /etc/default RENAME kovrecorder)
set(kov_recorder_man ${CMAKE_CURRENT_BINARY_DIR}/recorder-man/kovrecorder.1.gz)
add_custom_command(OUTPUT ${kov_recorder_man}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/recorder-man
  COMMAND sh -c "gzip -9n < \"$1\" > \"$2\"" gzip ${CMAKE_CURRENT_SOURCE_DIR}/man/kovrecorder.1 ${kov_recorder_man}
  DEPENDS man/kovrecorder.1 VERBATIM)
add_custom_target(kov_recorder_man ALL DEPENDS ${kov_recorder_man})
install(FILES ${kov_recorder_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
