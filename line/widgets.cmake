# The line window's own controls: hopper indicator, flow animation with its clip, and the
# tab bar coloured by terminal state.
add_library(karvel_line_widgets STATIC
  hopper_widget.h hopper_widget.cpp
  animate_widget.h animate_widget.cpp
  state_tab_bar.h state_tab_bar.cpp
  eth_v.qrc)
set_target_properties(karvel_line_widgets PROPERTIES AUTORCC ON)
target_include_directories(karvel_line_widgets PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(karvel_line_widgets PUBLIC Qt6::Widgets karvel_line_core)
