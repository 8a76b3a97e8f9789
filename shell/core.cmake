# GUI-free core: per-file conversion, file-list model, settings file, ConversionSwitches,
# text helpers. Never includes a Qt header; the windows live in shell/qt/ (ui.cmake).
file(GLOB PLM_SHELLCORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
add_library(plm_shellcore STATIC ${PLM_SHELLCORE_SOURCES})
target_include_directories(plm_shellcore PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(plm_shellcore PUBLIC plm_jww plm_jws plm_legacy plm_render plm_platform)
