# The Qt windows of the shell and their toolkit glue, all in shell/qt/: the only
# sources besides app/plmtool and tests/ui that see the toolkit.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
add_library(plm_shellui STATIC
  qt/BatchController.cpp qt/BatchController.h
  qt/DialogsQt.cpp qt/DialogsQt.h
  qt/FileListView.cpp qt/FileListView.h
  qt/FileTableQt.cpp qt/FileTableQt.h
  qt/FolderTreePanel.cpp qt/FolderTreePanel.h
  qt/KeyStateQt.cpp qt/KeyStateQt.h
  qt/PreviewPane.cpp qt/PreviewPane.h
  qt/ScreenFitQt.cpp qt/ScreenFitQt.h
  qt/MainWindow.cpp qt/MainWindow.h
  qt/SwitchesDialog.cpp qt/SwitchesDialog.h
  qt/WindowServices.h
)
set_target_properties(plm_shellui PROPERTIES AUTOMOC ON)
target_include_directories(plm_shellui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(plm_shellui PUBLIC plm_shellcore Qt6::Widgets)
