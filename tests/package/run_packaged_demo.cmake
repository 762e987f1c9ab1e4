# Builds the Debian package with CPack, unpacks it with dpkg-deb into SCRATCH and runs the
# unpacked pxhost --demo there. Fails when a tool is missing, the package lacks a file or a
# dependency on the image library, or the program cannot find its plug-in.
foreach(var BUILD_DIR CPACK SCRATCH)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_packaged_demo.cmake needs -D${var}=...")
  endif()
endforeach()
find_program(DPKG_DEB dpkg-deb)
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT DPKG_DEB OR NOT DPKG_SHLIBDEPS)
  message(FATAL_ERROR "dpkg-deb and dpkg-shlibdeps are needed (Debian package dpkg-dev)")
endif()

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${SCRATCH})
run("cpack" ${CPACK} -G DEB -B ${SCRATCH}/package --config ${BUILD_DIR}/CPackConfig.cmake)
file(GLOB packages ${SCRATCH}/package/*.deb)
list(LENGTH packages count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one .deb in ${SCRATCH}/package, found: ${packages}")
endif()

run("dpkg-deb -f" ${DPKG_DEB} -f ${packages} Depends)
if(NOT output MATCHES "libopenimageio")
  message(FATAL_ERROR "the package does not depend on the image library: ${output}")
endif()

set(root ${SCRATCH}/root)
run("dpkg-deb -x" ${DPKG_DEB} -x ${packages} ${root})
foreach(file bin/pxhost lib/zephra/libpxzp_lx.so lib/zephra/libpxsdk_lx.so
             include/zephra/api/zephra.h include/zephra/engine/Ztile.h
             share/doc/zephra/user-guide.md share/doc/zephra/examples/composite.pxs)
  if(NOT EXISTS ${root}/usr/${file})
    message(FATAL_ERROR "the package lacks usr/${file}")
  endif()
endforeach()

# Nothing may lead the program back into the build tree.
unset(ENV{LD_LIBRARY_PATH})
run("the unpacked pxhost --demo" ${root}/usr/bin/pxhost --demo ${SCRATCH}/demo-out)
foreach(picture composite matte status unpremultiplied)
  set(file ${SCRATCH}/demo-out/${picture}.png)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "the demo did not write ${file}:\n${output}")
  endif()
  file(SIZE ${file} size)
  if(size LESS 10000)
    message(FATAL_ERROR "${file} is only ${size} bytes")
  endif()
endforeach()
file(REMOVE_RECURSE ${SCRATCH})
