# The Debian package (cpack -G DEB, or scripts/package.sh): the server, its
# web root read-only under /usr/share/tovi/site, the config file and the
# systemd unit. The database and uploads live in /var/lib/tovi, made by the
# postinst script; none of them is part of the package.
install(TARGETS tovi_exe RUNTIME DESTINATION bin)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/site/ DESTINATION share/tovi/site
  PATTERN database EXCLUDE
  PATTERN uploadpic EXCLUDE
  PATTERN "*.mdb" EXCLUDE
  PATTERN "*.mdb-*" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tovi.conf DESTINATION /etc/tovi)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tovi.service DESTINATION /lib/systemd/system)
# For several servers on one PostgreSQL database: nginx in front of them.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/nginx-tovi.conf DESTINATION share/doc/tovi/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovi)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_CONTACT "Tovi developers <dev@tovi.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "meal-ordering web site of a restaurant: storefront and back office")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/postinst
  ${PROJECT_SOURCE_DIR}/packaging/prerm
  ${PROJECT_SOURCE_DIR}/packaging/postrm
  ${PROJECT_SOURCE_DIR}/packaging/conffiles)
include(CPack)
