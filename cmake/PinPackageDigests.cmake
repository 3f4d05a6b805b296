# Writes the package digests header from the packages a build has just made.
#   cmake -DFULL=<package> -DUPGRADE=<package> -DTEMPLATE=<.h.in> -DOUTPUT=<.h> -P PinPackageDigests.cmake
file(SHA256 ${FULL} CVI_FULL_PACKAGE_SHA256)
file(SHA256 ${UPGRADE} CVI_UPGRADE_PACKAGE_SHA256)
# configure_file leaves an unchanged header alone, so nothing recompiles needlessly.
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
