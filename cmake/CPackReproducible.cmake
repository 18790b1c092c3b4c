# Run by cpack once it has made a package (CPACK_POST_BUILD_SCRIPTS): packs
# the same files again where CPack's own package would depend on the machine
# or the user that made it, so that every build of a commit gives the same
# bytes. Times are SOURCE_DATE_EPOCH, which cmake/Release.cmake gives cpack.
cmake_policy(VERSION 3.21)  # GLOB_RECURSE lists links, never follows them

if(CPACK_GENERATOR STREQUAL "ZIP")
  # CPack's .zip takes its entries in the order the file system lists them
  # and records the user and group who packed it. Packed again: entries in
  # the order of their names, the time of the last commit, no owner.
  foreach(zip IN LISTS CPACK_PACKAGE_FILES)
    execute_process(COMMAND python3 -c [[
import os, sys, time, zipfile
out, top, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
stamp = time.gmtime(max(epoch, 315532800))[:6]  # a .zip has no time before 1980
names = []
for folder, _, files in os.walk(top):
    names += [os.path.relpath(os.path.join(folder, f), top) for f in files]
with zipfile.ZipFile(out, "w") as archive:
    for name in sorted(names):
        path = os.path.join(top, name)
        info = zipfile.ZipInfo(os.path.basename(top) + "/" + name, stamp)
        info.external_attr = (0o100000 | os.stat(path).st_mode & 0o777) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as data:
            archive.writestr(info, data.read())
]] "${zip}" "${CPACK_TEMPORARY_DIRECTORY}" "$ENV{SOURCE_DATE_EPOCH}"
                    COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
elseif(CPACK_GENERATOR STREQUAL "DEB")
  # CPack's .deb is sorted, owned by root and dated by the last commit, but
  # its Installed-Size adds up the sizes that the file system gives its
  # directories (4 KiB each on ext4, far less elsewhere), and the directories
  # that the install made have the modes that the packer's umask gives
  # (mkdir honours it). Every directory but the sticky Levels (1777, set by
  # the install itself) is made 0755; Installed-Size is counted as dpkg
  # counts it: each file in whole KiB, 1 KiB for anything else. Then packed
  # again by dpkg-deb, which sorts, dates and owns as CPack does.
  foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    set(root "${CPACK_TOPLEVEL_DIRECTORY}/repack")
    file(REMOVE_RECURSE "${root}")
    execute_process(COMMAND dpkg-deb --raw-extract "${deb}" "${root}" COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND find "${root}" -type d ! -perm -1000 -exec chmod 0755 {} +
                    COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${root}" "${root}/*")
    set(kib 0)
    foreach(entry IN LISTS entries)
      if(entry MATCHES "^DEBIAN(/|$)")
        continue()
      elseif(IS_SYMLINK "${root}/${entry}" OR IS_DIRECTORY "${root}/${entry}")
        math(EXPR kib "${kib} + 1")
      else()
        file(SIZE "${root}/${entry}" size)
        math(EXPR kib "${kib} + (${size} + 1023) / 1024")
      endif()
    endforeach()
    file(READ "${root}/DEBIAN/control" control)
    string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${kib}\n" control "${control}")
    file(WRITE "${root}/DEBIAN/control" "${control}")
    execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build "${root}" "${deb}"
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${root}")
  endforeach()
endif()
