# Run by CPack after it wrote the release archive: copies it to dist/ and writes beside it
# NAME.sha256 in sha256sum's format, so that `sha256sum -c NAME.sha256` checks it there.
foreach(archive ${CPACK_PACKAGE_FILES})
  get_filename_component(name ${archive} NAME)
  file(COPY ${archive} DESTINATION ${CPACK_LEXAMUND_RELEASE_DIR})
  file(SHA256 ${CPACK_LEXAMUND_RELEASE_DIR}/${name} sum)
  file(WRITE ${CPACK_LEXAMUND_RELEASE_DIR}/${name}.sha256 "${sum}  ${name}\n")
  message(STATUS "Release: ${CPACK_LEXAMUND_RELEASE_DIR}/${name} (sha256 ${sum})")
endforeach()
