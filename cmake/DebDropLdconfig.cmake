# CPack post-build step. CPack's Debian generator calls ldconfig from postinst
# and postrm for any shared library under /usr/lib, even one in a program's own
# folder, which the dynamic linker never searches. libbassmod.so is such a
# private library (the program opens it by path), so the package is rebuilt
# without those two scripts; it needs no maintainer scripts at all.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${deb} OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
