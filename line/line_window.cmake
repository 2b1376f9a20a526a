# The line window on top of the polling cycle and the line's widgets.
add_library(karvel_line_window STATIC line_window.h line_window.cpp)
target_link_libraries(karvel_line_window PUBLIC karvel_line_widgets karvel_dialogs)
