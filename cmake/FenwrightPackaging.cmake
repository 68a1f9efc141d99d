# Packages through CPack, made by the `package` target:
# - Linux: fenwright_<version>_amd64.deb. The programs in /usr/bin, the commented sample settings
#   as the conffile /etc/fenwright/fenwright.ini, the systemd unit fenwright.service, and the
#   maintainer scripts that make the service's system user and its data folder /var/lib/fenwright.
# - Windows: fenwright-<version>-win64.zip. The programs, fenwright-sample.ini and INSTALL.txt
#   (texts with Windows line ends), in one folder.
# A program joins both packages with one line: fw_install_program(<target>).

set(FW_PACKAGE_MAINTAINER "Fenwright developers <fenwright@fenwright.dev>"
    CACHE STRING "Maintainer of the packages (name <address>)")

set(_fw_packaging ${CMAKE_SOURCE_DIR}/packaging)
set(_fw_staged ${CMAKE_BINARY_DIR}/packaging)

if(WIN32)
  set(FW_PROGRAM_DESTINATION .)
else()
  set(FW_PROGRAM_DESTINATION bin)
endif()

function(fw_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${FW_PROGRAM_DESTINATION})
endfunction()

set(CPACK_PACKAGE_NAME fenwright)
set(CPACK_PACKAGE_VENDOR "Fenwright developers")
set(CPACK_PACKAGE_CONTACT "${FW_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shenzhen binary market data feed to legacy DBF files")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  configure_file(${_fw_packaging}/fenwright.ini ${_fw_staged}/fenwright-sample.ini
                 @ONLY NEWLINE_STYLE CRLF)
  configure_file(${_fw_packaging}/INSTALL.txt ${_fw_staged}/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${_fw_staged}/fenwright-sample.ini ${_fw_staged}/INSTALL.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME fenwright-${PROJECT_VERSION}-win64)
else()
  install(FILES ${_fw_packaging}/fenwright.ini DESTINATION /etc/fenwright)
  install(FILES ${_fw_packaging}/fenwright.service DESTINATION /lib/systemd/system)

  configure_file(${_fw_packaging}/deb/copyright ${_fw_staged}/copyright @ONLY)
  configure_file(${_fw_packaging}/deb/changelog.in ${_fw_staged}/changelog @ONLY)
  # Compressed as Debian wants it: the most, and without a name or a time stamp inside.
  execute_process(COMMAND gzip -9nf ${_fw_staged}/changelog RESULT_VARIABLE _fw_gzip)
  if(NOT _fw_gzip EQUAL 0)
    message(FATAL_ERROR "gzip could not compress ${_fw_staged}/changelog")
  endif()
  install(FILES ${_fw_staged}/copyright ${_fw_staged}/changelog.gz
          DESTINATION share/doc/fenwright)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # CPack puts the summary in front as the synopsis line.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Fenwright connects as a TCP client to the Shenzhen Stock Exchange's market
data gateway, decodes the real-time binary feed into an in-memory picture of
the market and every few seconds rewrites the legacy dBase files SJSHQ, SJSXX,
SJSXXN, SJSZS, SJSPHHQ and SJSZHHQ that older programs read while they are
rewritten. The package runs it as the systemd service fenwright, with the
tools that go with it: a gateway simulator, a sample day generator and a DBF
reader.")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
      ${_fw_packaging}/deb/conffiles ${_fw_packaging}/deb/postinst ${_fw_packaging}/deb/prerm
      ${_fw_packaging}/deb/postrm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
