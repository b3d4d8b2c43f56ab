# Decodes one job with the Linux build's kavjob and with the Windows build's
# under Wine, and compares the pages each wrote: the same page lines, and the
# same pixels for pages of raw and row-codec records; JPEG pages within
# LEAST_PSNR dB, since the two builds' JPEG decoders may round apart.
#
#   cmake -DLINUX_KAVJOB=... -DWINDOWS_KAVJOB=... -DCOMPARE=... -DEMULATOR=... -DJOB=...
#         -DEXACT_PAGES=3,4 -DJPEG_PAGES=1,2 -DLEAST_PSNR=DB -DWORK=FOLDER -P cross_build_decode.cmake
if(NOT EXISTS "${LINUX_KAVJOB}")
  message("skipped: no Linux build's kavjob at ${LINUX_KAVJOB}")
  return()
endif()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${JOB}" DESTINATION "${WORK}")
get_filename_component(job "${JOB}" NAME)

# Runs a command in the work folder; its standard output in `output`.
function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE result OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN} answered ${result}:\n${out}${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

run("${LINUX_KAVJOB}" decode ${job} -o linux.png)
set(linux_lines "${output}")
run(${EMULATOR} "${WINDOWS_KAVJOB}" decode ${job} -o windows.png)
string(REPLACE "\r\n" "\n" windows_lines "${output}")
string(REPLACE "windows" "linux" windows_lines "${windows_lines}")
if(NOT windows_lines STREQUAL linux_lines)
  message(FATAL_ERROR "the builds decode the job differently:\nLinux:\n${linux_lines}Windows:\n${windows_lines}")
endif()

# The file of page `number` as kavjob names it.
function(page_file stem number)
  if(number EQUAL 1)
    set(file ${stem}.png PARENT_SCOPE)
  else()
    set(file ${stem}-${number}.png PARENT_SCOPE)
  endif()
endfunction()

function(compare_pages pages)
  string(REPLACE "," ";" pages "${pages}")
  foreach(number IN LISTS pages)
    page_file(linux ${number})
    set(expected ${file})
    page_file(windows ${number})
    run(${EMULATOR} "${COMPARE}" ${file} ${expected} ${ARGN})
    message("${output}")
  endforeach()
endfunction()

compare_pages("${EXACT_PAGES}")
compare_pages("${JPEG_PAGES}" --psnr ${LEAST_PSNR})
