# The Debian package: `make package` (cpack -G DEB). Its dependencies come from the
# binary through dpkg-shlibdeps; only what the binary loads at run time without linking
# it is named here: the platform plugins the window needs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kovra-control)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR KovraControl)
set(CPACK_PACKAGE_CONTACT "${KOVRA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "drive networked cameras from a lighting or show-control desk")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KOVRA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KOVRA_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# mDNS browsing runs avahi-browse; the arp tool is the fallback where the kernel table is missing.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "avahi-utils, net-tools")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kovra Control drives networked cinema and studio cameras over their HTTP
control interface and event channel. OSC over UDP and MIDI from a desk
become camera commands, and camera state goes back to the desk as OSC
feedback. Lens, exposure, colour, audio, recording and format settings are
shown and changed in tabbed panels; presets stored on the cameras are
recalled from the window or the desk. A headless mode runs the bridge on
machines without a screen.")

include(CPack)
