# The Qt windows of the shell (Unit1*, Unit2*) and Qt glue (*Qt*): the only sources
# besides app/plmtool and tests/ui that see the toolkit.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
file(GLOB PLM_SHELLUI_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/Unit1*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/Unit2*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/*Qt*.cpp)
file(GLOB PLM_SHELLUI_HEADERS CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/Unit1*.h ${CMAKE_CURRENT_SOURCE_DIR}/Unit2*.h
  ${CMAKE_CURRENT_SOURCE_DIR}/*Qt*.h)
add_library(plm_shellui STATIC ${PLM_SHELLUI_SOURCES} ${PLM_SHELLUI_HEADERS})
set_target_properties(plm_shellui PROPERTIES AUTOMOC ON)
target_include_directories(plm_shellui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(plm_shellui PUBLIC plm_shellcore Qt6::Widgets)
