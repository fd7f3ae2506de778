# What keeps a first build short (figures in docs/performance.md, "Build time"):
#
# - lld links: the tests and benchmarks are ~100 programs, each linking Qt and the
#   static libraries; GNU ld spent about 1.4 s on each. Without lld the default linker
#   is used (scripts/install-deps.sh installs it).
# - PANELBENCH_LINE_DEBUG_INFO (the ci and asan presets): line tables only (-g1) instead
#   of full debug info. Backtraces and sanitizer reports keep their files and lines;
#   what is lost is local variables in a debugger (use the default preset for that). An
#   object is a fifth of the size, a compile about 20% shorter and the links shorter.
# - panelbench_moc_if_needed(): AUTOMOC stays on for every library, but a test,
#   benchmark or fuzz program gets its moc step (and a compile of the generated file)
#   only when its own sources declare Q_OBJECT, Q_GADGET or Q_NAMESPACE. The sources
#   are configure dependencies, so a Q_OBJECT added later re-runs the configure step
#   and turns moc on for that program.

find_program(PANELBENCH_LLD ld.lld)
if(PANELBENCH_LLD)
  add_link_options(-fuse-ld=lld)
endif()

option(PANELBENCH_LINE_DEBUG_INFO "Debug info of line tables only (-g1)" OFF)
if(PANELBENCH_LINE_DEBUG_INFO)
  # After CMAKE_CXX_FLAGS_<CONFIG> on the command line, so it wins over their -g.
  add_compile_options($<$<CONFIG:Debug,RelWithDebInfo>:-g1>)
endif()

function(panelbench_moc_if_needed target)
  set(needed OFF)
  get_target_property(sources ${target} SOURCES)
  foreach(source ${sources})
    get_filename_component(source ${source} ABSOLUTE)
    # AUTOMOC also reads the header beside a source (Foo.h for Foo.cpp).
    string(REGEX REPLACE "\\.cpp$" ".h" header ${source})
    foreach(file ${source} ${header})
      if(EXISTS ${file})
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
        file(STRINGS ${file} hits REGEX "Q_(OBJECT|GADGET|NAMESPACE)")
        if(hits)
          set(needed ON)
        endif()
      endif()
    endforeach()
  endforeach()
  set_target_properties(${target} PROPERTIES AUTOMOC ${needed})
endfunction()

# Unity builds (PANELBENCH_UNITY, on by default): the window's library and the other large
# libraries are compiled a few sources per compiler run, so the Qt headers are parsed once
# per batch instead of once per source. Only for libraries that build clean that way:
# i18n/, firmware/, procedures/ and records/ keep same-named constants or helpers in anonymous
# namespaces, one per file.
option(PANELBENCH_UNITY "Unity builds of the libraries that build clean with them" ON)
function(panelbench_unity target)
  if(PANELBENCH_UNITY)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  endif()
endfunction()
