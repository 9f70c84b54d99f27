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
function(rombard_tests name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} test_support GTest::gtest GTest::gmock)
  target_link_libraries(${name} PRIVATE rombard_warnings)
  add_dependencies(test_programs ${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
