# Run by CPack (its External generator) once it has staged the release's files: writes the Windows zip and
# SHA256SUMS, which CPack then copies to dist/. CPack's own ZIP generator stores files in the order the file
# system lists them and with the staging folder's owner and times, so two builds of one commit would differ; here
# the zip holds the files in name order, all stamped with the last commit's time.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${CPACK_TESSAVON_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR epoch STREQUAL "")
    message(FATAL_ERROR "The release zip takes its time stamps from the last commit, but git could not tell it; "
                        "outside a git clone, set SOURCE_DATE_EPOCH.")
  endif()
endif()

set(zip ${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip)
execute_process(COMMAND /usr/bin/python3 ${CPACK_TESSAVON_SOURCE_DIR}/scripts/make-zip.py
                        ${CPACK_TEMPORARY_DIRECTORY} ${zip} ${epoch}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Writing ${zip} failed: ${result}")
endif()

# In the format sha256sum -c reads; the programs are listed too, for those who take them out of the zip.
set(sums ${CPACK_TOPLEVEL_DIRECTORY}/SHA256SUMS)
file(SHA256 ${zip} zip_sum)
file(SHA256 ${CPACK_TEMPORARY_DIRECTORY}/tessavon.exe exe_sum)
file(SHA256 ${CPACK_TEMPORARY_DIRECTORY}/tessavon-check.exe checker_sum)
file(SHA256 ${CPACK_TEMPORARY_DIRECTORY}/tessavon-import.exe importer_sum)
file(WRITE ${sums} "${zip_sum}  ${CPACK_PACKAGE_FILE_NAME}.zip\n${exe_sum}  tessavon.exe\n"
                   "${checker_sum}  tessavon-check.exe\n${importer_sum}  tessavon-import.exe\n")

set(CPACK_EXTERNAL_BUILT_PACKAGES ${zip} ${sums})
