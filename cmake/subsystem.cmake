# battery_subsystem(<folder> [deps...])
# Builds every .cpp of <folder> (except main.cpp and the entry points of
# further programs, *_main.cpp) into a static library named
# after the folder, with the project's compile options. A folder of headers
# only becomes an interface library.
function(battery_subsystem name)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${name}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "[/_]main\\.cpp$")
  set(includes $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${includes})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${includes})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
  battery_target_flags(${name})
endfunction()

# battery_public_headers(<target> <header>...): the headers a user includes.
function(battery_public_headers target)
  battery_scope(${target} PUBLIC scope)
  target_sources(${target} ${scope} FILE_SET HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR} FILES ${ARGN})
endfunction()
