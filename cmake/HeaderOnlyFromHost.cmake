# The service's HTTP and JSON libraries (Boost.Beast over Boost.Asio,
# nlohmann's JSON) are header-only and written for Windows as much as for
# Linux, so the cross build takes the host's Debian headers. Adding the
# host's include folder itself would mix its C library into the Windows
# build: instead a folder in the build tree holds links to the two libraries'
# own header folders only, and the two targets the native build gets from
# find_package are made over it.
set(_zarvik12m_host_include /usr/include)
set(_zarvik12m_header_farm ${PROJECT_BINARY_DIR}/host-headers)
foreach(_zarvik12m_library boost nlohmann)
  if(NOT EXISTS ${_zarvik12m_host_include}/${_zarvik12m_library})
    message(FATAL_ERROR "The Windows build of zarvik12m-server needs the host's ${_zarvik12m_library} headers "
                        "in ${_zarvik12m_host_include}/${_zarvik12m_library} (scripts/install-dependencies.sh)")
  endif()
  file(MAKE_DIRECTORY ${_zarvik12m_header_farm})
  file(CREATE_LINK ${_zarvik12m_host_include}/${_zarvik12m_library} ${_zarvik12m_header_farm}/${_zarvik12m_library}
       SYMBOLIC)
endforeach()

add_library(Boost::headers INTERFACE IMPORTED)
set_target_properties(Boost::headers PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_zarvik12m_header_farm})
# Asio's Windows parts: sockets, and no auto-linking by pragma.
set_property(TARGET Boost::headers PROPERTY INTERFACE_COMPILE_DEFINITIONS BOOST_ALL_NO_LIB)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_zarvik12m_header_farm})
