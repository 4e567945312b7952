# Read by cpack for each generator it runs (CPACK_PROJECT_CONFIG_FILE).
if(CPACK_GENERATOR STREQUAL "DEB")
  # Without dpkg-shlibdeps CPack still writes a package, but one without Depends, which then
  # installs on a machine that lacks Qt 6. Refuse to build that.
  find_program(VEXA_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT VEXA_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps not found: install the package dpkg-dev, it works out "
                        "the package's Depends")
  endif()
endif()
