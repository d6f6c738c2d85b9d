# kovrecorder's systemd unit (installed, not enabled) and its settings file;
# its manual page is compressed with the others.
install(FILES kovrecorder.service DESTINATION lib/systemd/system)
install(FILES kovrecorder.default DESTINATION /etc/default RENAME kovrecorder)
# Its setpoints and alarm settings (a conffile): read again on reload.
install(FILES kovrecorder.cfg DESTINATION /etc/kovrecorder RENAME kov.cfg)
