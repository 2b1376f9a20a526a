# The main program's own small windows: the About window, the system state window and
# the toolbar pictures.
add_library(karvel_app_widgets STATIC
  app_icons.h app_icons.cpp
  about_box.h about_box.cpp
  state_window.h state_window.cpp
  icons.qrc)
set_target_properties(karvel_app_widgets PROPERTIES AUTORCC ON)
target_include_directories(karvel_app_widgets PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(karvel_app_widgets PUBLIC Qt6::Widgets karvel_app_core karvel_ledger)
