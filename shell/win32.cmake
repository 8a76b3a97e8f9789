# The Win32 windows of the shell, all in shell/win32/: comctl32 controls, the common
# item dialog for folders, GDI for text.
file(GLOB PLM_SHELLWIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/win32/*.cpp)
add_library(plm_shellwin32 STATIC ${PLM_SHELLWIN32_SOURCES})
target_include_directories(plm_shellwin32 PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(plm_shellwin32 PUBLIC plm_shellcore comctl32 comdlg32 gdi32 ole32 oleaut32 shell32 uuid)
