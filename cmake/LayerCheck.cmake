# The order of the driver's layers, checked on the link graph once every
# target is defined (zarvik12m_check_layers, called deferred from the
# top-level CMakeLists.txt):
#
#   zarvik12m_platform <- zarvik12m_common <- zarvik12m_port, zarvik12m_codec
#     <- zarvik12m_engine <- zarvik12m_interface <- zarvik12m
#
# A layer links only layers below it (the port and the codec not each
# other); no target of the project reaches itself through its links; the
# targets that want frames alone (the probe's core, the frame fuzz target)
# never reach the engine. The configuration stops, naming the link, when
# one of these breaks.

set(_zarvik12m_layer_rank_zarvik12m_platform 0)
set(_zarvik12m_layer_rank_zarvik12m_common 1)
set(_zarvik12m_layer_rank_zarvik12m_port 2)
set(_zarvik12m_layer_rank_zarvik12m_codec 2)
set(_zarvik12m_layer_rank_zarvik12m_engine 3)
set(_zarvik12m_layer_rank_zarvik12m_interface 4)
set(_zarvik12m_layer_rank_zarvik12m 5)

# The targets a target links directly: aliases resolved, link-only
# wrappers removed, other generator expressions and plain names passed over.
function(_zarvik12m_direct_links target out)
  set(links)
  get_target_property(type ${target} TYPE)
  set(properties INTERFACE_LINK_LIBRARIES)
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    list(APPEND properties LINK_LIBRARIES)
  endif()
  foreach(property IN LISTS properties)
    get_target_property(values ${target} ${property})
    if(NOT values)
      continue()
    endif()
    foreach(value IN LISTS values)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" value "${value}")
      if(value MATCHES "^\\$<" OR NOT TARGET "${value}")
        continue()
      endif()
      get_target_property(aliased ${value} ALIASED_TARGET)
      if(aliased)
        set(value ${aliased})
      endif()
      list(APPEND links ${value})
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES links)
  set(${out} ${links} PARENT_SCOPE)
endfunction()

# Every target the project defines, in every folder below dir.
function(_zarvik12m_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirectories DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    _zarvik12m_targets_below(${subdirectory} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Depth-first walk from target; path holds the targets being walked. Stops
# at the first cycle. Each target is walked once (its global property
# _ZARVIK12M_LAYERS_DONE).
function(_zarvik12m_walk target path)
  get_property(done GLOBAL PROPERTY _ZARVIK12M_LAYERS_DONE_${target})
  if(done)
    return()
  endif()
  list(APPEND path ${target})
  _zarvik12m_direct_links(${target} links)
  foreach(link IN LISTS links)
    if(link IN_LIST path)
      list(JOIN path " -> " chain)
      message(FATAL_ERROR "Layer order: the targets link in a cycle: ${chain} -> ${link}")
    endif()
    _zarvik12m_walk(${link} "${path}")
  endforeach()
  set_property(GLOBAL PROPERTY _ZARVIK12M_LAYERS_DONE_${target} TRUE)
endfunction()

# Every target that target reaches through its links.
function(_zarvik12m_reach target out)
  set(reached)
  set(pending ${target})
  while(pending)
    list(POP_FRONT pending current)
    _zarvik12m_direct_links(${current} links)
    foreach(link IN LISTS links)
      if(NOT link IN_LIST reached)
        list(APPEND reached ${link})
        list(APPEND pending ${link})
      endif()
    endforeach()
  endwhile()
  set(${out} ${reached} PARENT_SCOPE)
endfunction()

# root: the folder whose targets are checked; the names after it: targets
# that must never reach zarvik12m_engine (those not defined are passed over).
function(zarvik12m_check_layers root)
  _zarvik12m_targets_below(${root} targets)
  foreach(target IN LISTS targets)
    _zarvik12m_walk(${target} "")
    if(DEFINED _zarvik12m_layer_rank_${target})
      _zarvik12m_direct_links(${target} links)
      foreach(link IN LISTS links)
        if(DEFINED _zarvik12m_layer_rank_${link}
           AND NOT _zarvik12m_layer_rank_${link} LESS _zarvik12m_layer_rank_${target})
          message(FATAL_ERROR "Layer order: ${target} links ${link}, which is not a layer below it")
        endif()
      endforeach()
    endif()
  endforeach()
  foreach(target IN LISTS ARGN)
    if(TARGET ${target})
      _zarvik12m_reach(${target} reached)
      if(zarvik12m_engine IN_LIST reached)
        message(FATAL_ERROR "Layer order: ${target} wants frames alone but reaches zarvik12m_engine")
      endif()
    endif()
  endforeach()
endfunction()
