# One layer: its logic library `name` (never linked to Qt Widgets) and, when the layer has a
# ui/ folder, `name`_widgets with the controls. The folder says what links Widgets: every
# WIDGET_SOURCES file lives under ui/.
function(rombard_layer name)
  cmake_parse_arguments(L "" "" "SOURCES;WIDGET_SOURCES;LOGIC_LIBS;WIDGET_LIBS" ${ARGN})
  foreach(src IN LISTS L_WIDGET_SOURCES)
    if(NOT src MATCHES "^ui/")
      message(FATAL_ERROR "${name}: widget source ${src} is not under ui/")
    endif()
  endforeach()
  foreach(src IN LISTS L_SOURCES)
    if(src MATCHES "^ui/")
      message(FATAL_ERROR "${name}: logic source ${src} is under ui/")
    endif()
  endforeach()
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_LOGIC_LIBS})
  target_link_libraries(${name} PRIVATE rombard_warnings)
  if(L_WIDGET_SOURCES)
    add_library(${name}_widgets STATIC ${L_WIDGET_SOURCES})
    target_include_directories(${name}_widgets PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name}_widgets PUBLIC ${name} Qt6::Widgets ${L_WIDGET_LIBS}
                                         )
    target_link_libraries(${name}_widgets PRIVATE rombard_warnings)
  else()
    # Keeps dependants' link lines uniform for a layer without widgets.
    add_library(${name}_widgets INTERFACE)
    target_link_libraries(${name}_widgets INTERFACE ${name})
  endif()
endfunction()

# One GoogleTest executable per layer; its sources mirror the layer's folders.
# The layer's test files that start threads of their own (THREADED) make a second program,
# `name`_threaded, whose tests carry the label "threaded": ThreadSanitizer runs that label.
# The file decides, so a renamed test cannot leave the run unseen. Sets `name`_TARGETS to
# the programs made, for the settings the layer's tests add to both.
function(rombard_tests name)
  cmake_parse_arguments(T "" "" "SOURCES;THREADED;LIBS" ${ARGN})
  set(programs)
  if(T_SOURCES)
    list(APPEND programs ${name})
    add_executable(${name} ${T_SOURCES})
  endif()
  if(T_THREADED)
    list(APPEND programs ${name}_threaded)
    add_executable(${name}_threaded ${T_THREADED})
    add_dependencies(threaded_test_programs ${name}_threaded)
  endif()
  foreach(program IN LISTS programs)
    target_link_libraries(${program} PRIVATE ${T_LIBS} test_support GTest::gtest GTest::gmock)
    target_link_libraries(${program} PRIVATE rombard_warnings)
    add_dependencies(test_programs ${program})
    set(labels unthreaded)
    if(program STREQUAL "${name}_threaded")
      set(labels threaded)
    endif()
    gtest_discover_tests(${program} DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300
                                    LABELS ${labels})
  endforeach()
  set(${name}_TARGETS ${programs} PARENT_SCOPE)
endfunction()
