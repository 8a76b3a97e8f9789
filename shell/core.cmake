# GUI-free core: per-file conversion, file-list model, settings file, ConvertOptions,
# text helpers. Never includes a Qt header. Every shell/*.cpp belongs here except the
# windows (Unit1*, Unit2*) and Qt glue (*Qt*), which ui.cmake builds.
file(GLOB PLM_SHELLCORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
list(FILTER PLM_SHELLCORE_SOURCES EXCLUDE REGEX "/(Unit1|Unit2)[^/]*$|Qt[^/]*$")
add_library(plm_shellcore STATIC ${PLM_SHELLCORE_SOURCES})
target_include_directories(plm_shellcore PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(plm_shellcore PUBLIC plm_jww plm_jws plm_legacy plm_platform)
