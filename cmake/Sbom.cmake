# The components of the software bill of materials, read from what the build links.
#
# A library linked into the program is described once, where it is found:
#   callwright_sbom_component(PNG::PNG NAME libpng VERSION ${PNG_VERSION_STRING} LICENSE libpng-2.0)
# callwright_write_sbom_components() then walks the program's link libraries and writes one
# CycloneDX component for each; a linked library without a description stops the configuration,
# so none is left out. The statically linked compiler and C runtime are added from the toolchain.
# scripts/package.sh wraps the list into the release's CycloneDX document.

function(callwright_sbom_component target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "NAME;VERSION;LICENSE" "")
  if(NOT arg_NAME OR NOT arg_VERSION OR NOT arg_LICENSE)
    message(FATAL_ERROR "callwright_sbom_component(${target}) needs NAME, VERSION and LICENSE")
  endif()
  set_target_properties(${target} PROPERTIES CALLWRIGHT_SBOM_NAME "${arg_NAME}"
                                             CALLWRIGHT_SBOM_VERSION "${arg_VERSION}"
                                             CALLWRIGHT_SBOM_LICENSE "${arg_LICENSE}")
endfunction()

# Appends to `out_var` the imported libraries that `target` links, directly or through others.
function(_callwright_linked_imports target out_var)
  set(found ${${out_var}})
  set(libraries)
  foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(value ${target} ${property})
    if(value)
      list(APPEND libraries ${value})
    endif()
  endforeach()
  foreach(library IN LISTS libraries)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" library "${library}")
    if(NOT TARGET ${library})
      # Plain names are the import libraries of Windows' own DLLs; a file path would be a library
      # that nothing describes.
      if(IS_ABSOLUTE "${library}")
        message(FATAL_ERROR "${target} links ${library} by path; link it through an imported target "
                            "described by callwright_sbom_component()")
      endif()
      continue()
    endif()
    get_target_property(imported ${library} IMPORTED)
    if(imported)
      if(NOT library IN_LIST found)
        list(APPEND found ${library})
      endif()
    endif()
    _callwright_linked_imports(${library} found)
  endforeach()
  set(${out_var} ${found} PARENT_SCOPE)
endfunction()

function(_callwright_component_json out_var name version license)
  set(component "{}")
  string(JSON component SET "${component}" type "\"library\"")
  string(JSON component SET "${component}" name "\"${name}\"")
  string(JSON component SET "${component}" version "\"${version}\"")
  string(JSON component SET "${component}" purl "\"pkg:generic/${name}@${version}\"")
  string(JSON component SET "${component}" bom-ref "\"pkg:generic/${name}@${version}\"")
  if(license MATCHES " ")
    string(JSON component SET "${component}" licenses "[{\"expression\": \"${license}\"}]")
  else()
    string(JSON component SET "${component}" licenses "[{\"license\": {\"id\": \"${license}\"}}]")
  endif()
  set(${out_var} "${component}" PARENT_SCOPE)
endfunction()

function(callwright_write_sbom_components target file)
  set(imports)
  _callwright_linked_imports(${target} imports)
  set(components "[]")
  set(index 0)
  foreach(library IN LISTS imports)
    get_target_property(name ${library} CALLWRIGHT_SBOM_NAME)
    if(NOT name)
      message(FATAL_ERROR "${target} links ${library}, which has no callwright_sbom_component() entry")
    endif()
    get_target_property(version ${library} CALLWRIGHT_SBOM_VERSION)
    get_target_property(license ${library} CALLWRIGHT_SBOM_LICENSE)
    _callwright_component_json(component ${name} ${version} "${license}")
    string(JSON components SET "${components}" ${index} "${component}")
    math(EXPR index "${index} + 1")
  endforeach()

  # -static puts the compiler's runtime and MinGW-w64's C runtime and threads into the program.
  find_file(CALLWRIGHT_MINGW_VERSION_HEADER _mingw_mac.h REQUIRED)
  file(STRINGS ${CALLWRIGHT_MINGW_VERSION_HEADER} lines REGEX "^#define __MINGW64_VERSION_(MAJOR|MINOR|BUGFIX) ")
  set(mingw_version)
  foreach(part MAJOR MINOR BUGFIX)
    string(REGEX MATCH "__MINGW64_VERSION_${part} ([0-9]+)" match "${lines}")
    list(APPEND mingw_version ${CMAKE_MATCH_1})
  endforeach()
  list(JOIN mingw_version . mingw_version)
  foreach(row "libstdc++|${CMAKE_CXX_COMPILER_VERSION}|GPL-3.0-or-later WITH GCC-exception-3.1"
              "libgcc|${CMAKE_CXX_COMPILER_VERSION}|GPL-3.0-or-later WITH GCC-exception-3.1"
              "mingw-w64-crt|${mingw_version}|ZPL-2.1"
              "mingw-w64-winpthreads|${mingw_version}|MIT")
    string(REPLACE "|" ";" row "${row}")
    list(GET row 0 name)
    list(GET row 1 version)
    list(GET row 2 license)
    _callwright_component_json(component ${name} ${version} "${license}")
    string(JSON components SET "${components}" ${index} "${component}")
    math(EXPR index "${index} + 1")
  endforeach()
  file(WRITE ${file} "${components}\n")
endfunction()
