# What a release build installs and packages:
#   bin/meridian-fetch and its man page                 (component "fetch")
#   lib/libmeridian_*.a, include/meridian/, the CMake
#   package (Meridian::net) and meridian.pc             (component "dev")
#   bin/meridian, only with MERIDIAN_INSTALL_LAUNCHER   (component "launcher")
# and the Debian packages CPack makes of them.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The network library's static libraries, lowest first (the launcher's is not
# among them).
set(MERIDIAN_NET_LIBRARIES
  meridian_platform meridian_rtl meridian_net_exceptions meridian_uri meridian_coders
  meridian_headers meridian_auth meridian_transport meridian_tls meridian_http)

# Meridian::net: one target for the whole library. Each library carries the
# ones below it, so linking this one puts them in order.
add_library(meridian_net INTERFACE)
set_target_properties(meridian_net PROPERTIES EXPORT_NAME net)
target_link_libraries(meridian_net INTERFACE meridian_http meridian_tls)
target_include_directories(meridian_net INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/meridian>)
target_compile_features(meridian_net INTERFACE cxx_std_20)
add_library(Meridian::net ALIAS meridian_net)

# The public headers: the HTTP client and its records, the transport, SOCKS,
# TLS, URI, coders, authentication and the exceptions, with every project
# header they include. They go to include/meridian/ under their folders, so
# their own include lines ("http/http_client.h") stay as they are and a user
# adds include/meridian to the include path.
set(meridian_public_entry_headers
  http/http_client.h http/http_request.h http/http_response.h http/cookie_manager.h
  http/authentication_manager.h http/proxy_connection_info.h http/http_date.h
  transport/tcp_client.h transport/io_handler_socket.h transport/connection_intercept.h
  transport/socks/socks_info.h
  transport/tls/ssl_io_handler_socket.h transport/tls/server_io_handler_ssl.h
  transport/tls/ssl_context.h transport/tls/openssl_binding.h
  uri/uri.h coders/encoder.h coders/decoder.h
  auth/authentication.h auth/basic_authentication.h auth/auth_registry.h
  net/exceptions.h)
set(pending ${meridian_public_entry_headers})
set(MERIDIAN_PUBLIC_HEADERS "")
while(pending)
  list(POP_FRONT pending header)
  if(header IN_LIST MERIDIAN_PUBLIC_HEADERS)
    continue()
  endif()
  if(NOT EXISTS ${PROJECT_SOURCE_DIR}/src/${header})
    message(FATAL_ERROR "Public header src/${header} does not exist")
  endif()
  list(APPEND MERIDIAN_PUBLIC_HEADERS ${header})
  file(STRINGS ${PROJECT_SOURCE_DIR}/src/${header} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" included "${line}")
    if(EXISTS ${PROJECT_SOURCE_DIR}/src/${included})
      list(APPEND pending ${included})
    elseif(NOT included STREQUAL "net/version.h")
      message(FATAL_ERROR "src/${header} includes \"${included}\", which is no header of src/")
    endif()
  endforeach()
endwhile()
list(SORT MERIDIAN_PUBLIC_HEADERS)
foreach(header IN LISTS MERIDIAN_PUBLIC_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES src/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/meridian/${folder} COMPONENT dev)
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/generated/net/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/meridian/net COMPONENT dev)

install(TARGETS ${MERIDIAN_NET_LIBRARIES} meridian_net EXPORT MeridianTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Meridian)
install(EXPORT MeridianTargets NAMESPACE Meridian:: DESTINATION ${config_dir} COMPONENT dev)

configure_package_config_file(cmake/MeridianConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/MeridianConfig.cmake INSTALL_DESTINATION ${config_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/MeridianConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/MeridianConfig.cmake
  ${PROJECT_BINARY_DIR}/package/MeridianConfigVersion.cmake DESTINATION ${config_dir} COMPONENT dev)

# meridian.pc: the libraries highest first, then what they use.
set(MERIDIAN_PC_LIBS "")
set(reversed ${MERIDIAN_NET_LIBRARIES})
list(REVERSE reversed)
foreach(library IN LISTS reversed)
  string(REGEX REPLACE "^meridian_" "-lmeridian_" flag ${library})
  string(APPEND MERIDIAN_PC_LIBS "${flag} ")
endforeach()
string(APPEND MERIDIAN_PC_LIBS "-pthread")
foreach(library IN LISTS CMAKE_DL_LIBS)
  string(APPEND MERIDIAN_PC_LIBS " -l${library}")
endforeach()
configure_file(cmake/meridian.pc.in ${PROJECT_BINARY_DIR}/package/meridian.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/package/meridian.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# meridian-fetch and its man page, gzipped without a time stamp so that the
# package is the same from build to build.
install(TARGETS meridian-fetch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT fetch)
set(man_page ${PROJECT_SOURCE_DIR}/tools/fetch/meridian-fetch.1)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/package/meridian-fetch.1.gz
  COMMAND gzip -9 -n -c ${man_page} > ${PROJECT_BINARY_DIR}/package/meridian-fetch.1.gz
  DEPENDS ${man_page} VERBATIM)
add_custom_target(meridian_fetch_man_page ALL DEPENDS ${PROJECT_BINARY_DIR}/package/meridian-fetch.1.gz)
install(FILES ${PROJECT_BINARY_DIR}/package/meridian-fetch.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT fetch)

if(MERIDIAN_INSTALL_LAUNCHER)
  install(TARGETS meridian RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT launcher)
endif()

# Debian packages: `cpack -G DEB` in a release tree.
set(CPACK_PACKAGE_NAME meridian)
set(CPACK_PACKAGE_VENDOR "Meridian")
set(CPACK_PACKAGE_CONTACT "Meridian maintainers <meridian@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Meridian network library and command-line HTTP client")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL fetch dev)
if(MERIDIAN_INSTALL_LAUNCHER)
  list(APPEND CPACK_COMPONENTS_ALL launcher)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_FETCH_PACKAGE_NAME meridian-fetch)
set(CPACK_DEBIAN_FETCH_PACKAGE_SECTION web)
set(CPACK_COMPONENT_FETCH_DESCRIPTION "Command-line HTTP client on the Meridian network library\n meridian-fetch fetches URLs over HTTP and HTTPS, through HTTP and SOCKS\n proxies, with the usual command-line client options.")
# OpenSSL is loaded at run time for https, libpsl for cookies that name a
# domain; without them plain http still works.
set(CPACK_DEBIAN_FETCH_PACKAGE_RECOMMENDS "libssl3, libpsl5")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libmeridian-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DESCRIPTION "Meridian network library: static libraries and headers\n URI, base64, authentication, an HTTP client with cookies, redirects and\n authentication retry, a TCP transport, SOCKS and TLS. With a CMake package\n (Meridian::net) and a pkg-config file (meridian).")
# The TLS headers need OpenSSL's headers; the libraries are loaded at run time.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libssl-dev")
set(CPACK_DEBIAN_DEV_PACKAGE_RECOMMENDS "libssl3, libpsl5")

set(CPACK_DEBIAN_LAUNCHER_PACKAGE_NAME meridian)
set(CPACK_COMPONENT_LAUNCHER_DESCRIPTION "Start-up launcher of the Meridian scripture reader")
# The catalogue engine is loaded at run time, but the launcher cannot work
# without it.
set(CPACK_DEBIAN_LAUNCHER_PACKAGE_DEPENDS "libsqlcipher0")
set(CPACK_DEBIAN_LAUNCHER_PACKAGE_RECOMMENDS "libssl3")

include(CPack)
