# The main program: the main window on top of the start-up core, the line windows, the
# dialogs and the alarm sound.
# What a line reads from the store when it starts; no window needed.
add_library(karvel_line_settings STATIC store_line_settings.h store_line_settings.cpp)
target_include_directories(karvel_line_settings PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(karvel_line_settings PUBLIC karvel_app_core karvel_line_core)

add_library(karvel_main_window STATIC main_window.h main_window.cpp)
target_include_directories(karvel_main_window PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(karvel_main_window PUBLIC karvel_line_settings karvel_app_core karvel_app_widgets karvel_line_window
  karvel_dialogs karvel_sound karvel_report_window)

add_executable(Karvel_Net main.cpp)
target_link_libraries(Karvel_Net PRIVATE karvel_main_window)
install(TARGETS Karvel_Net RUNTIME DESTINATION bin)
