# kovrecorder's systemd unit (installed, not enabled) and its settings file;
# its manual page is compressed with the others.
install(FILES kovrecorder.service DESTINATION lib/systemd/system)
install(FILES kovrecorder.default DESTINATION /etc/default RENAME kovrecorder)
