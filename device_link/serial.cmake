# Serial port component over termios: device naming, line settings, reader thread and the
# hand-over of received bytes to the main thread.
find_package(Threads REQUIRED)

add_library(karvel_serial STATIC
  com_prop.h com_prop.cpp
  com_port.h com_port.cpp
  serial_device.h serial_device.cpp
  serial_doorbell.h serial_doorbell.cpp
  serial_line.h serial_line.cpp
  serial_rate.h serial_rate.cpp
  serial_reader.h serial_reader.cpp
  serial_status.h serial_status.cpp)
target_include_directories(karvel_serial PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(karvel_serial PUBLIC karvel_framing karvel_serial_speed Qt6::Core Threads::Threads)
