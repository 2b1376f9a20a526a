# The alarm sound: the looping sound-file player (WAV through Qt Multimedia, MIDI and RMI
# rendered by FluidSynth) and the beep, on the default audio output.
find_package(Qt6 REQUIRED COMPONENTS Multimedia)
find_package(PkgConfig REQUIRED)
pkg_check_modules(FLUIDSYNTH REQUIRED IMPORTED_TARGET fluidsynth)

add_library(karvel_sound STATIC
  sound_pcm.h sound_pcm.cpp
  sound_stream.h sound_stream.cpp
  sound_wav.h sound_wav.cpp
  sound_midi.h sound_midi.cpp
  sound_beep.h sound_beep.cpp
  sound_alarm.h
  alarm_sound.h alarm_sound.cpp)
target_include_directories(karvel_sound PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(karvel_sound PUBLIC Qt6::Core Qt6::Multimedia PRIVATE PkgConfig::FLUIDSYNTH)
