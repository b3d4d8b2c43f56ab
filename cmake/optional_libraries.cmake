# Libraries found on the build machine. The Linux tools take each one they
# can; without it they say the format is unavailable (the Windows tools use
# the system's own codecs); the printer app needs libjpeg and libpng. The
# Linux stand-ins need TurboJPEG (platform/CMakeLists.txt says so when it is
# missing).
find_package(PNG QUIET)
find_package(JPEG QUIET)
find_path(KAV_TURBOJPEG_INCLUDE turbojpeg.h)
find_library(KAV_TURBOJPEG_LIBRARY turbojpeg)
if(KAV_TURBOJPEG_INCLUDE AND KAV_TURBOJPEG_LIBRARY)
  set(turbojpeg_found ON)
  add_library(kav_turbojpeg INTERFACE)
  target_link_libraries(kav_turbojpeg INTERFACE ${KAV_TURBOJPEG_LIBRARY})
  target_include_directories(kav_turbojpeg SYSTEM INTERFACE ${KAV_TURBOJPEG_INCLUDE})
else()
  set(turbojpeg_found OFF)
endif()

option(KAV_HAVE_LIBPNG "Read and write PNG pictures in the tools (else PNM only)" ${PNG_FOUND})
option(KAV_HAVE_LIBJPEG "Decode JPEG records in kavjob (else they are left blank)" ${JPEG_FOUND})
if(WIN32)
  message(STATUS "kav tools: PNG and JPEG through the Windows Imaging Component")
else()
  message(STATUS "kav tools: libpng ${KAV_HAVE_LIBPNG}, libjpeg ${KAV_HAVE_LIBJPEG}")
endif()

# Gives `target` the source that uses an optional library, with the library,
# when its switch is on, else our own fallback:
#   kav_optional_source(target SWITCH source-with library source-without)
function(kav_optional_source target switch with library without)
  if(${switch})
    target_sources(${target} PRIVATE ${with})
    target_link_libraries(${target} PRIVATE ${library})
  else()
    target_sources(${target} PRIVATE ${without})
  endif()
endfunction()
