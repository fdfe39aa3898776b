# Install layout and Debian packages.
#
#   cmake --install <build> --prefix P     (component client and server, or all)
#   cd <build> && cpack -G DEB             -> kova_<version>_<arch>.deb, kova-standin_<version>_<arch>.deb
#
# Layout under the prefix:
#   bin/kova                       launcher: per-user data folder, first-run database, then the program
#   bin/kova-initdb                makes an empty kvdb.dat
#   lib/kova/kova, lib/kova/kova.sui   the program and its skin (the program reads the skin beside itself)
#   share/applications/kova.desktop, share/metainfo/kova.metainfo.xml
#   share/icons/hicolor/{16..256}x{16..256}/apps/kova.png, share/icons/hicolor/scalable/apps/kova.svg
#   bin/kova-standin, share/doc/kova-standin/README.md   (component server only)
# Every other picture the program shows is compiled into it as a Qt resource.
include(GNUInstallDirs)

set(KOVA_INSTALL_PROGRAMDIR "lib/kova" CACHE STRING "Folder (under the prefix) of the program and its skin")

# The launcher finds the program and the database tool relative to itself.
file(RELATIVE_PATH KOVA_BIN_TO_PROGRAM "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix/${KOVA_INSTALL_PROGRAMDIR}/kova")
file(RELATIVE_PATH KOVA_BIN_TO_INITDB "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix/${CMAKE_INSTALL_BINDIR}/kova-initdb")
configure_file(${CMAKE_SOURCE_DIR}/packaging/kova-launcher.sh.in ${CMAKE_BINARY_DIR}/packaging/kova @ONLY)

# --- client --------------------------------------------------------------------------------
install(TARGETS kova RUNTIME DESTINATION ${KOVA_INSTALL_PROGRAMDIR} COMPONENT client)
install(FILES ${CMAKE_SOURCE_DIR}/assets/kova.sui DESTINATION ${KOVA_INSTALL_PROGRAMDIR} COMPONENT client)
install(TARGETS kova-initdb RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT client)
install(PROGRAMS ${CMAKE_BINARY_DIR}/packaging/kova DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT client)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/kova.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT client)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/kova.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT client)
install(FILES ${CMAKE_SOURCE_DIR}/assets/app/kova.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT client)

# The bitmap icons are rendered from the SVG at build time by a small Qt SVG tool.
add_executable(kova-render-icon ${CMAKE_SOURCE_DIR}/packaging/render_icon.cpp)
target_link_libraries(kova-render-icon PRIVATE kova_common Qt6::Gui Qt6::Svg)
set(KOVA_ICON_SIZES 16 32 48 64 128 256)
set(kova_icon_files)
foreach(size IN LISTS KOVA_ICON_SIZES)
    set(png ${CMAKE_BINARY_DIR}/packaging/icons/${size}x${size}/kova.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/icons/${size}x${size}
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:kova-render-icon> ${CMAKE_SOURCE_DIR}/assets/app/kova.svg ${png} ${size}
        DEPENDS kova-render-icon ${CMAKE_SOURCE_DIR}/assets/app/kova.svg
        COMMENT "Rendering the ${size}x${size} application icon"
        VERBATIM)
    list(APPEND kova_icon_files ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        COMPONENT client)
endforeach()
add_custom_target(kova_icons ALL DEPENDS ${kova_icon_files})

# --- server --------------------------------------------------------------------------------
install(TARGETS kova-standin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT server)
install(FILES ${CMAKE_SOURCE_DIR}/server/README.md
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kova-standin COMPONENT server)

# --- Debian packages -----------------------------------------------------------------------
# Each component's description is its package's: the first line is the synopsis, the rest
# the extended description (CPack indents it).
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kova")
set(CPACK_PACKAGE_VENDOR "Kova")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Kova developers <kova@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL client server)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The dependencies are declared below; KOVA_PACKAGE_SHLIBDEPS=ON adds what dpkg-shlibdeps
# finds, to compare.
option(KOVA_PACKAGE_SHLIBDEPS "Let dpkg-shlibdeps add library dependencies to the packages" OFF)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ${KOVA_PACKAGE_SHLIBDEPS})

set(CPACK_COMPONENT_CLIENT_DISPLAY_NAME "Kova client")
set(CPACK_COMPONENT_SERVER_DISPLAY_NAME "Kova stand-in server")
set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME "kova")
set(CPACK_DEBIAN_CLIENT_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_CLIENT_DESCRIPTION "price comparison client for Chinese online stores
Kova asks a price-comparison service for the offers of a product at the big
Chinese online stores (Taobao, Tmall, JD, Amazon China, Dangdang, Suning, Yihaodian)
and shows them in one list with picture, price, popularity, merchant and a star
rating. Offers can be kept as favorites, and price drops among them are listed.

Kova比价软件：货比三家，比价帮助您更省钱、省事！")
# The versions are those dpkg-shlibdeps finds (Qt raised to the 6.4 the build requires).
# Qt's X11 platform plugin comes with libqt6gui6 and its SVG icon and image plugins with
# libqt6svg6 (qt6-qpa-plugins holds only the VNC and TUIO plugins and is not needed). The
# fonts stand in for the Song and Kai faces of the interface; xdg-utils opens product
# pages in the desktop's browser.
set(CPACK_DEBIAN_CLIENT_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1 (>= 3.0), libqt6core6 (>= 6.4.0), libqt6gui6 (>= 6.4.0), libqt6widgets6 (>= 6.4.0), libqt6svg6 (>= 6.4.0), libcurl4 (>= 7.68.0), libgumbo1 (>= 0.9.2), libsqlite3-0 (>= 3.20.0), libjpeg62-turbo (>= 1.3.1), fonts-arphic-uming, fonts-arphic-ukai, fontconfig, xdg-utils")

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME "kova-standin")
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_SERVER_DESCRIPTION "stand-in comparison service for the Kova client
kova-standin serves, on loopback ports, every page the Kova client requests: the
comparison service with accounts, favorites and moving prices, the version page and
the stores' product pages and pictures, so the client runs on one machine without
the operator's servers.

Kova比价软件的本地替身服务器。")
# The pictures are drawn with the offscreen platform and written by the JPEG image plugin,
# both in libqt6gui6, with the WenQuanYi Zen Hei face.
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1 (>= 3.0), libqt6core6 (>= 6.4.0), libqt6gui6 (>= 6.4.0), libsqlite3-0 (>= 3.7.15), libcpp-httplib0.11 (>= 0.11.4), fonts-wqy-zenhei")

include(CPack)
